#include "support/Logging.h"

Q_LOGGING_CATEGORY(lcApp, "corvana.app")
Q_LOGGING_CATEGORY(lcUi, "corvana.ui")
Q_LOGGING_CATEGORY(lcLibrary, "corvana.library")
Q_LOGGING_CATEGORY(lcCapture, "corvana.capture")
Q_LOGGING_CATEGORY(lcSupport, "corvana.support")
