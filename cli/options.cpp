#include "cli/options.h"

#include <cstring>
#include <vector>

#include "drivers/registry.h"
#include "files/shown_text.h"
#include "profiles/profiles.h"

namespace {

// Which commands an option applies to.
enum : unsigned { kUpload = 1, kList = 2, kDecode = 4, kAny = kUpload | kList | kDecode };

using Apply = bool (*)(Options&, const std::string& value, std::string& error);

struct OptionRow {
  const char* name;
  const char* valueName;  // null for a flag
  unsigned commands;
  const char* help;
  Apply apply;
};

// A whole decimal number from `low` to `high`; no sign, no spaces.
bool parseNumber(const std::string& text, long low, long high, long& out) {
  if (text.empty() || text.size() > 9) return false;
  long n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n < low || n > high) return false;
  out = n;
  return true;
}

// "--address takes 1 to 512, not 0"; "... a number from 1 to 512, not "7x"" for what is no number.
std::string rangeText(const std::string& what, const std::string& text, long low, long high) {
  const std::string range = std::to_string(low) + " to " + std::to_string(high);
  const std::size_t sign = text.size() > 1 && text[0] == '-' ? 1 : 0;
  const bool number =
      text.size() > sign && text.find_first_not_of("0123456789", sign) == std::string::npos;
  if (number) return what + " takes " + range + ", not " + text;
  return what + " takes a number from " + range + ", not " + files::quoted(text);
}

bool deviceAddress(const std::string& value, int& out, std::string& error, const char* option) {
  long n = 0;
  if (!parseNumber(value, 1, 512, n)) {
    error = rangeText(option, value, 1, 512);
    return false;
  }
  out = static_cast<int>(n);
  return true;
}

bool applyAddress(Options& o, const std::string& v, std::string& e) {
  return deviceAddress(v, o.address, e, "--address");
}

bool applyProfile(Options& o, const std::string& v, std::string& e) {
  if (findProfile(v.c_str()) == nullptr) {
    e = "--profile: unknown profile " + files::quoted(v) + " (v1.2, v1.1 or early)";
    return false;
  }
  o.profile = v;
  return true;
}

bool applyFast(Options& o, const std::string&, std::string&) {
  o.fast = true;
  return true;
}

bool applyQuiet(Options& o, const std::string&, std::string&) {
  o.quiet = true;
  return true;
}

bool notEmpty(const std::string& v, std::string& e, const char* option) {
  if (!v.empty()) return true;
  e = std::string(option) + " needs a non-empty value";
  return false;
}

// A name (not a path) that drivers and the engine may print as it is: no control characters.
bool plainName(const std::string& v, std::string& e, const char* option) {
  if (!notEmpty(v, e, option)) return false;
  if (files::shown(v) == v) return true;
  e = std::string(option) + ": " + files::quoted(v) + " holds control characters";
  return false;
}

bool applyAdapter(Options& o, const std::string& v, std::string& e) {
  o.adapterName = v;
  return plainName(v, e, "--adapter");
}

bool applySerial(Options& o, const std::string& v, std::string& e) {
  if (v.size() > 63) {
    e = "--serial: " + files::quoted(v) + " is longer than a serial number (63 characters)";
    return false;
  }
  o.serial = v;
  return plainName(v, e, "--serial");
}

bool applyCid(Options& o, const std::string& v, std::string& e) {
  o.cid = v;
  return plainName(v, e, "--cid");
}

bool applyCapture(Options& o, const std::string& v, std::string& e) {
  o.capture = v;
  return notEmpty(v, e, "--capture");
}

bool applySimDevice(Options& o, const std::string& v, std::string& e) {
  o.simOptionGiven = true;
  return deviceAddress(v, o.simDevice, e, "--sim-device");
}

bool applySimFail(Options& o, const std::string& v, std::string& e) {
  o.simOptionGiven = true;
  static const char kAfter[] = "write-after:";
  if (v == "list") {
    o.simFailure = SimFailure::list;
  } else if (v == "open") {
    o.simFailure = SimFailure::open;
  } else if (v == "write") {
    o.simFailure = SimFailure::write;
    o.simWritesBeforeFailure = 0;
  } else if (v.rfind(kAfter, 0) == 0) {
    const std::string n = v.substr(sizeof kAfter - 1);
    if (!parseNumber(n, 0, 99'999'999, o.simWritesBeforeFailure)) {
      e = rangeText("--sim-fail write-after:N", n, 0, 99'999'999);
      return false;
    }
    o.simFailure = SimFailure::write;
  } else {
    e = "--sim-fail: " + files::quoted(v) + " is not list, open, write or write-after:N";
    return false;
  }
  return true;
}

bool applySimNone(Options& o, const std::string&, std::string&) {
  o.simOptionGiven = true;
  o.simNone = true;
  return true;
}

bool applyOut(Options& o, const std::string& v, std::string& e) {
  o.out = v;
  return notEmpty(v, e, "--out");
}

bool applyExpect(Options& o, const std::string& v, std::string& e) {
  o.expect = v;
  return notEmpty(v, e, "--expect");
}

const OptionRow kOptions[] = {
    {"--address", "N", kUpload | kDecode, "device address, 1 to 512 (default 1)", applyAddress},
    {"--profile", "NAME", kUpload, "release profile: v1.2 (default), v1.1 or early", applyProfile},
    {"--fast", nullptr, kUpload, "pace data frames 11 ms apart instead of 50 ms", applyFast},
    {"--adapter", "NAME", kUpload | kList, "adapter driver (see below)", applyAdapter},
    {"--serial", "S", kUpload, "open the adapter with serial number S, not the first listed",
     applySerial},
    {"--cid", "UUID", kUpload, "sacn: the source's CID (default: made once, kept)", applyCid},
    {"--capture", "FILE.pcap", kUpload, "write every packet sent to a pcap capture (link type 147)",
     applyCapture},
    {"--quiet", nullptr, kAny, "no progress display and no closing text; errors still show",
     applyQuiet},
    {"--sim-device", "N", kUpload, "sim: address of the virtual device (default: --address)",
     applySimDevice},
    {"--sim-fail", "WHAT", kUpload | kList,
     "sim: fail list, open, write, or write-after:N (N writes pass)", applySimFail},
    {"--sim-none", nullptr, kUpload | kList, "sim: no adapter attached", applySimNone},
    {"--out", "IMAGE", kDecode, "write the image the device received to IMAGE", applyOut},
    {"--expect", "FILE", kDecode, "compare the received image with FILE (exit 3 if it differs)",
     applyExpect},
};

const OptionRow* findOption(const std::string& name) {
  for (const OptionRow& opt : kOptions)
    if (name == opt.name) return &opt;
  return nullptr;
}

Command commandNamed(const std::string& word) {
  if (word == "upload") return Command::upload;
  if (word == "list") return Command::list;
  if (word == "decode") return Command::decode;
  return Command::none;
}

unsigned commandBit(Command c) {
  switch (c) {
    case Command::upload:
      return kUpload;
    case Command::list:
      return kList;
    case Command::decode:
      return kDecode;
    case Command::none:
      break;
  }
  return 0;
}

const char* commandName(Command c) {
  switch (c) {
    case Command::upload:
      return "upload";
    case Command::list:
      return "list";
    case Command::decode:
      return "decode";
    case Command::none:
      break;
  }
  return "";
}

ParseResult usage(std::string error) { return {ParseStatus::usage, std::move(error)}; }

}  // namespace

ParseResult parseOptions(int argc, const char* const* argv, Options& o) {
  bool help = false;
  bool version = false;
  bool optionsEnded = false;
  std::vector<std::string> words;
  std::vector<const OptionRow*> given;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      words.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      help = true;
      continue;
    }
    if (arg == "--version") {
      version = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const OptionRow* opt = findOption(name);
    if (opt == nullptr) return usage("unknown option " + files::quoted(name) + " (try --help)");
    for (const OptionRow* seen : given)
      if (seen == opt) return usage(name + " given twice");
    given.push_back(opt);
    std::string value;
    if (opt->valueName == nullptr) {
      if (eq != std::string::npos) return usage(name + " takes no value");
    } else if (eq != std::string::npos) {
      value = arg.substr(eq + 1);
    } else if (i + 1 < argc) {
      value = argv[++i];
      // "--capture --fast" has lost its value; only --capture=-x says that -x is meant.
      if (!value.empty() && value[0] == '-')
        return usage(name + " needs a value " + opt->valueName + ", not the option-like " +
                     files::quoted(value) + "; write " + name + "=VALUE for a value that " +
                     "starts with \"-\"");
    } else {
      return usage(name + " needs a value " + opt->valueName);
    }
    std::string error;
    if (!opt->apply(o, value, error)) return usage(error);
  }
  if (help) return {ParseStatus::help, ""};
  if (version) return {ParseStatus::version, ""};

  if (words.empty()) return usage("no command given: upload, list or decode (try --help)");
  o.command = commandNamed(words[0]);
  if (o.command == Command::none)
    return usage("unknown command " + files::quoted(words[0]) + " (try --help)");
  for (const OptionRow* opt : given)
    if ((opt->commands & commandBit(o.command)) == 0)
      return usage(std::string(opt->name) + " does not apply to " + commandName(o.command));

  const std::size_t wanted = o.command == Command::list ? 1 : 2;
  if (words.size() < wanted)
    return usage(std::string(commandName(o.command)) + " needs a " +
                 (o.command == Command::upload ? "FILE" : "FILE.pcap"));
  if (words.size() > wanted) return usage("unexpected argument " + files::quoted(words[wanted]));
  if (wanted == 2) {
    o.file = words[1];
    if (o.file.empty()) return usage("the file name is empty");
  }
  return {};
}

std::string helpText() {
  std::string t =
      "uploader-cli: uploads firmware into DMX512 fixtures through a USB-to-DMX adapter.\n"
      "\n"
      "Usage:\n"
      "  uploader-cli upload FILE [options]       send FILE to the device at --address\n"
      "  uploader-cli list [options]              list the adapters, one serial number a line\n"
      "  uploader-cli decode FILE.pcap [options]  show what a device receives from a capture\n"
      "  uploader-cli --help | --version\n"
      "\n"
      "Options (the commands each applies to in brackets):\n";
  for (const OptionRow& opt : kOptions) {
    std::string left = std::string("  ") + opt.name;
    if (opt.valueName != nullptr) left += std::string(" ") + opt.valueName;
    if (left.size() < 24) left.resize(24, ' ');
    std::string where;
    for (Command c : {Command::upload, Command::list, Command::decode})
      if ((opt.commands & commandBit(c)) != 0)
        where += std::string(where.empty() ? "" : ", ") + commandName(c);
    std::string row = left + " " + opt.help + " [" + where + "]";
    if (row.size() > 79)
      row = left + " " + opt.help + "\n" + std::string(25, ' ') + "[" + where + "]";
    t += row + "\n";
  }
  t += "\nAdapters (--adapter NAME; default " + std::string(defaultAdapterName()) + "):\n";
  for (const DriverEntry* e = driverEntries(); e->prefix != nullptr; ++e) {
    std::string left = std::string("  ") + e->usage;
    if (left.size() < 24) left.resize(24, ' ');
    t += left + " " + e->summary + "\n";
  }
  t += "\n"
       "The diagnostic log goes to standard output; progress, errors (\"error: ...\") and the\n"
       "closing text go to standard error. With --adapter sim the device's report follows the\n"
       "log and the upload counts as done only when the device received the image intact.\n"
       "\n"
       "Exit status: 0 done (and verified on the simulated adapter), 1 adapter or line failure,\n"
       "2 file refused (image unreadable or too large, capture unreadable or unwritable),\n"
       "3 the virtual device did not receive the image intact, 4 decode: the capture does not\n"
       "hold the whole image (frames missing or unusable; without --expect), 64 unknown or\n"
       "malformed arguments (a FILE path longer than 259 characters included), 74 output\n"
       "could not be written (standard output, --out).\n"
       "\n"
       "Option values that start with \"-\" are taken only as --option=VALUE. Only regular\n"
       "files are read: a directory, a device or a FIFO is refused before it is opened.\n";
  return t;
}
