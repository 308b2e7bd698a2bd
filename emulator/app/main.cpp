#include "emulator/app/Entry.h"

int main(int argc, char** argv)
{
    return RunVesgen(argc, argv);
}
