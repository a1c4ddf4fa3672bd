#include "desktop.hpp"

int main(int argc, char** argv) {
    return explore::run_explore(argc, argv);
}
