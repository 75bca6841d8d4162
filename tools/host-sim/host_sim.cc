// Placeholder main program: prints the plugin's version.
#include <cstdio>

int main() {
    std::printf("hxp-be-vek-norv-messaging-service %s\n", NORV_VERSION);
    return 0;
}
