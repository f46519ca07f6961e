#include "app/CCorvanaApp.h"

int main(int argc, char* argv[])
{
    return corvana::CCorvanaApp::Main(argc, argv);
}
