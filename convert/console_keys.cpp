#include "convert/console_keys.h"

#include <termios.h>
#include <cerrno>
#include <unistd.h>

namespace morvalin {

int ReadKeyWithoutEcho() {
  termios saved{};
  bool terminal = isatty(STDIN_FILENO) == 1 && tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
  }
  unsigned char key = 0;
  ssize_t n;
  do {
    n = read(STDIN_FILENO, &key, 1);
  } while (n < 0 && errno == EINTR);
  if (terminal) tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return n == 1 ? key : -1;
}

}  // namespace morvalin
