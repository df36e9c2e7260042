#include "app/startup.h"

int main(int argc, char** argv)
{
    return lf::runLumenfolio(argc, argv);
}
