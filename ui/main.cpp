#include "ui/shell/StartUp.h"

int main(int argc, char* argv[]) {
    return runKelvane(argc, argv);
}
