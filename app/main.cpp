#include "app/startup.h"

int main(int argc, char **argv)
{
    return vel::RunVelmora(argc, argv);
}
