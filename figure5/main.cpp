#include "figure5.hpp"

int main(int argc, char** argv) {
    return kit::run(argc, argv, figure5::program);
}
