#include "platform/heapTuning.h"
#include "shell/ApplicationMain.h"

int main(int argc, char** argv)
{
    tetrapan::heapTuning::restartTuned(argv);
    return tetrapan::applicationMain(argc, argv);
}
