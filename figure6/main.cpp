#include "figure6.hpp"

int main(int argc, char** argv) {
    return kit::run(argc, argv, figure6::program);
}
