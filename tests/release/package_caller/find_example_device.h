/* Loads the simulator's example world, finds its device 04D8:F6F1 through Velmar.dll and
 * checks the product string: 0 when all is right, else the step that went wrong. It needs
 * no C runtime, so any toolchain's linker can link it with just the import libraries. */
#ifndef FIND_EXAMPLE_DEVICE_H
#define FIND_EXAMPLE_DEVICE_H

int FindExampleDevice(void);

#endif
