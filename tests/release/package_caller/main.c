#include "find_example_device.h"

int main(void) {
    return FindExampleDevice();
}
