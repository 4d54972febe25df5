#include "CommandLineOptions.h"

#include <string_view>

namespace kvq {

namespace {

struct OptionSpelling {
  std::string_view shortName;  // empty when there is none
  std::string_view longName;
  bool CommandLineOptions::*flag;
};

// Options that take a value: "--name VALUE" or "--name=VALUE".
struct ValueOptionSpelling {
  std::string_view longName;
  std::string CommandLineOptions::*value;
};

constexpr OptionSpelling kOptions[] = {
    {"-h", "--help", &CommandLineOptions::help},
    {"-V", "--version", &CommandLineOptions::version},
    {"-q", "--quiet", &CommandLineOptions::quiet},
    {"", "--force", &CommandLineOptions::force},
    {"", "--accept-lf", &CommandLineOptions::acceptLf},
};

constexpr ValueOptionSpelling kValueOptions[] = {
    {"--depfile", &CommandLineOptions::dependencyFile},
};

bool IsOption(const std::string& argument) {
  return argument.size() > 1 && argument[0] == '-';
}

}  // namespace

bool ParseCommandLineOptions(const std::vector<std::string>& arguments, CommandLineOptions& options,
                             std::string& error) {
  bool optionsEnded = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (optionsEnded || !IsOption(argument)) {
      options.operands.push_back(argument);
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      options.settingsEnd = options.operands.size();
      continue;
    }
    bool known = false;
    for (const ValueOptionSpelling& option : kValueOptions) {
      std::string value;
      if (argument == option.longName) {
        if (i + 1 < arguments.size()) value = arguments[++i];
      } else if (argument.starts_with(std::string(option.longName) + "=")) {
        value = argument.substr(option.longName.size() + 1);
      } else {
        continue;
      }
      if (value.empty()) {
        error = std::string(option.longName) + " needs a file name";
        return false;
      }
      options.*option.value = value;
      known = true;
      break;
    }
    if (known) continue;
    for (const OptionSpelling& option : kOptions) {
      if (argument == option.longName ||
          (!option.shortName.empty() && argument == option.shortName)) {
        options.*option.flag = true;
        known = true;
        break;
      }
    }
    if (!known) {
      error = "unknown option " + argument;
      return false;
    }
  }
  return true;
}

}  // namespace kvq
