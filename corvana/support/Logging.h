#pragma once
// One diagnostic sink per subsystem, off the user's screen. The fixed developer lines go here.
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
Q_DECLARE_LOGGING_CATEGORY(lcUi)
Q_DECLARE_LOGGING_CATEGORY(lcLibrary)
Q_DECLARE_LOGGING_CATEGORY(lcCapture)
Q_DECLARE_LOGGING_CATEGORY(lcSupport)

// Writes one fixed developer line, as given, to the category.
#define CORVANA_DEBUG_LINE(category, text) qCDebug(category).noquote() << (text)
