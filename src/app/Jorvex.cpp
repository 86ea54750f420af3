// Entry point of the jorvex program: hands the arguments to the main unit and
// returns its exit code (0, 2 after a parameter error, 9999 after the help).
#include <string>
#include <vector>

#include "app/JorvexMain.h"

int main(int argc, char* argv[]) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return JorvexMain(std::move(arguments));
}
