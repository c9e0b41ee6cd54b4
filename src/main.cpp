#include "shell/ApplicationMain.h"

int main(int argc, char** argv)
{
    return tetrapan::applicationMain(argc, argv);
}
