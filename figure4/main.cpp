#include "figure4.hpp"

int main(int argc, char** argv) {
    return kit::run(argc, argv, figure4::program);
}
