#include "setup/run_setup.h"

int main() {
    return run_setup();
}
