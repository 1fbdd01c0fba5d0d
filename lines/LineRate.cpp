// Reads a terminal's speed with the kernel's own termios2 layout, which also
// holds rates that have no B constant. Kept apart from <termios.h>, whose
// struct of the same name it would clash with.
#include "LineRate.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

std::optional<std::int32_t> terminalRate(int fd)
{
    termios2 settings{};
    if (fd < 0 || ioctl(fd, TCGETS2, &settings) != 0)
        return std::nullopt;
    if ((settings.c_cflag & CBAUD) == BOTHER)
        return static_cast<std::int32_t>(settings.c_ospeed);
    struct Known {
        unsigned code;
        std::int32_t rate;
    };
    static constexpr Known known[] = {
        {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},         {B150, 150},
        {B200, 200},         {B300, 300},         {B600, 600},         {B1200, 1200},       {B1800, 1800},
        {B2400, 2400},       {B4800, 4800},       {B9600, 9600},       {B19200, 19200},     {B38400, 38400},
        {B57600, 57600},     {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
        {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000}, {B1500000, 1500000},
        {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000}, {B3500000, 3500000}, {B4000000, 4000000},
    };
    for (const Known& k : known)
        if ((settings.c_cflag & CBAUD) == k.code)
            return k.rate;
    return std::nullopt;
}
