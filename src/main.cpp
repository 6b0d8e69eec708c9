#include "Startup.h"

int main(int argc, char** argv)
{
    return tramelle::RunApplication(argc, argv);
}
