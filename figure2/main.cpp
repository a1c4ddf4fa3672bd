#include "figure2.hpp"

int main(int argc, char** argv) {
    return kit::run(argc, argv, figure2::program);
}
