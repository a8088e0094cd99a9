#include "Application.h"

int main(int argc, char** argv) {
    return SonvaleMain(argc, argv);
}
