#include "figure1.hpp"

int main(int argc, char** argv) {
    return kit::run(argc, argv, figure1::program);
}
