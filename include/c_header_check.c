/* Compiles the boundary header as a host written in C99 would include it, so
 * its record layout checks run in every configuration's C compiler too. */
#include <norv_plugin.h>

int norv_c_header_check(void);
int norv_c_header_check(void) {
    return (int)sizeof(PluginLoadRecord);
}
