/* The stand-in's driver file is never run: it only carries a version resource.
 * Run by mistake, it says what it is. */
#include <stdio.h>

int main(void)
{
    puts("vx710s10.sys: the driver file of the VX-7105 driver stand-in; use vx710sim.exe");
    return 1;
}
