#include "figure3.hpp"

int main(int argc, char** argv) {
    return kit::run(argc, argv, figure3::program);
}
