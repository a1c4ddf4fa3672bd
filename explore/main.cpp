#include "studio.hpp"

int main(int argc, char** argv) {
    return explore::run_studio(argc, argv);
}
