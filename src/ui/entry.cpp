// The process entry: the engine sets itself up and calls the program's main.
#include "engine/panels/startup.h"
#include "ui/zelmor.h"

int main(int argc, char* argv[]) {
    return engine::RunProgram(argc, argv, zelmor::main, zelmor::callbacks);
}
