#include "cli/options.h"

#include <cstring>
#include <iterator>
#include <vector>

#include "cli/since_date.h"
#include "drivers/rdm_wire.h"
#include "drivers/registry.h"
#include "files/shown_text.h"
#include "profiles/profiles.h"
#include "session/address_list.h"
#include "session/nearest_word.h"

namespace {

// Which commands an option applies to.
enum : unsigned {
  kUpload = 1,
  kList = 2,
  kDecode = 4,
  kFixtures = 8,
  kHistory = 16,
  kInventory = 32,
  kRecords = kHistory | kInventory,
  kServe = 64,
  kAny = kUpload | kList | kDecode | kFixtures | kRecords | kServe
};

// Beyond 10 ms a node's lines could no longer take turns within a pause.
constexpr long kMaxNodeGapMicros = 10'000;

using Apply = bool (*)(Options&, const std::string& value, std::string& error);

struct OptionRow {
  const char* name;
  const char* shortName;  // "-a"; null when it has none
  const char* valueName;  // null for a flag
  unsigned commands;
  const char* help;
  Apply apply;
};

bool applyAddress(Options& o, const std::string& v, std::string& e) {
  return parseAddressList(v, o.addresses, e);
}

bool applyProfile(Options& o, const std::string& v, std::string& e) {
  if (findProfile(v.c_str()) == nullptr) {
    e = "--profile: unknown profile \"" + v + "\" (v1.2, v1.1 or early)";
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

bool applyVerbose(Options& o, const std::string&, std::string&) {
  o.verbose = true;
  return true;
}

bool applyForce(Options& o, const std::string&, std::string&) {
  o.force = true;
  return true;
}

bool notEmpty(const std::string& v, std::string& e, const char* option) {
  if (!v.empty()) return true;
  e = std::string(option) + " needs a non-empty value";
  return false;
}

// Names go into messages and to drivers as they are: no control characters.
bool plainName(const std::string& v, std::string& e, const char* option) {
  if (!notEmpty(v, e, option)) return false;
  if (files::shown(v) == v) return true;
  e = std::string(option) + ": " + files::quoted(v) + " holds control characters";
  return false;
}

bool applyAdapter(Options& o, const std::string& v, std::string& e) {
  o.adapterNames.push_back(v);
  return plainName(v, e, "--adapter");
}

bool applyLines(Options& o, const std::string& v, std::string& e) {
  o.linesFile = v;
  return notEmpty(v, e, "--lines");
}

bool applyJson(Options& o, const std::string&, std::string&) {
  o.json = true;
  return true;
}

bool applySerial(Options& o, const std::string& v, std::string& e) {
  if (v.size() > 63) {
    e = "--serial: \"" + v + "\" is longer than a serial number (63 characters)";
    return false;
  }
  o.serial = v;
  return plainName(v, e, "--serial");
}

bool applyCapture(Options& o, const std::string& v, std::string& e) {
  o.capture = v;
  return notEmpty(v, e, "--capture");
}

bool applyLog(Options& o, const std::string& v, std::string& e) {
  o.logFile = v;
  return notEmpty(v, e, "--log");
}

bool applyOut(Options& o, const std::string& v, std::string& e) {
  o.out = v;
  return notEmpty(v, e, "--out");
}

bool applyExpect(Options& o, const std::string& v, std::string& e) {
  o.expect = v;
  return notEmpty(v, e, "--expect");
}

bool applyReadBack(Options& o, const std::string&, std::string&) {
  o.readBack = true;
  return true;
}

bool applyDryRun(Options& o, const std::string&, std::string&) {
  o.dryRun = true;
  return true;
}

// DEVICE_INFO model IDs: hexadecimal with 0x, or decimal; 0 to 65535 each.
bool applyModel(Options& o, const std::string& v, std::string& e) {
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = v.find(',', from);
    const std::string id = v.substr(from, comma == std::string::npos ? comma : comma - from);
    long n = -1;
    const bool hex = id.size() > 2 && id.size() <= 6 && (id[1] == 'x' || id[1] == 'X') &&
                     id[0] == '0' &&
                     id.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos;
    if (hex)
      n = std::stol(id.substr(2), nullptr, 16);
    else if (!parseWholeNumber(id, 0, 65535, n))
      n = -1;
    if (n < 0) {
      e = "--model: " + files::quoted(id) +
          " is not a model ID (DEVICE_INFO's, 0x0000 to 0xFFFF or 0 to 65535)";
      return false;
    }
    o.models.push_back(static_cast<std::uint16_t>(n));
    if (comma == std::string::npos) return true;
    from = comma + 1;
  }
}

bool applySettle(Options& o, const std::string& v, std::string& e) {
  long seconds = 0;
  if (!parseWholeNumber(v, 0, 600, seconds)) {
    e = rangeRefusal("--settle", v, 0, 600);
    return false;
  }
  o.settleSeconds = static_cast<int>(seconds);
  return true;
}

bool applyNodeGap(Options& o, const std::string& v, std::string& e) {
  if (!parseWholeNumber(v, 0, kMaxNodeGapMicros, o.nodeGapMicros)) {
    e = rangeRefusal("--node-gap", v, 0, kMaxNodeGapMicros);
    return false;
  }
  return true;
}

bool applyRdmUid(Options& o, const std::string& v, std::string& e) {
  rdm::Uid uid;
  if (!rdm::parseUid(v, uid) || uid.manufacturer == 0xFFFF || uid.device == 0xFFFFFFFF) {
    e = "--rdm-uid: \"" + files::shown(v) +
        "\" is not a controller UID MMMM:DDDDDDDD (hexadecimal, not a broadcast UID)";
    return false;
  }
  o.rdmUid = v;
  return true;
}

// "HOST:PORT" or "[V6]:PORT", the port 0 to 65535 (0: any free port).
bool applyListen(Options& o, const std::string& v, std::string& e) {
  const std::size_t colon = v.rfind(':');
  long port = 0;
  const std::string host = colon == std::string::npos ? "" : v.substr(0, colon);
  const bool bracketed = host.size() > 2 && host.front() == '[' && host.back() == ']';
  if (colon == std::string::npos || host.empty() ||
      (host.find(':') != std::string::npos && !bracketed) ||
      !parseWholeNumber(v.substr(colon + 1), 0, 65535, port) || files::shown(v) != v) {
    e = "--listen takes HOST:PORT (127.0.0.1:8417, 0.0.0.0:8417, [::1]:8417; port 0: any "
        "free port), not " +
        files::quoted(v);
    return false;
  }
  o.listen = v;
  return true;
}

bool applyTokenFile(Options& o, const std::string& v, std::string& e) {
  o.tokenFile = v;
  return notEmpty(v, e, "--token-file");
}

bool applyRecords(Options& o, const std::string& v, std::string& e) {
  o.recordsFile = v;
  return notEmpty(v, e, "--records");
}

bool applyNoRecords(Options& o, const std::string&, std::string&) {
  o.noRecords = true;
  return true;
}

bool applyCsv(Options& o, const std::string&, std::string&) {
  o.csv = true;
  return true;
}

bool applySince(Options& o, const std::string& v, std::string& e) {
  return sinceUtc(v, o.since, e);
}

bool applyImage(Options& o, const std::string& v, std::string& e) {
  o.image = v;
  return notEmpty(v, e, "--image");
}

bool applyResult(Options& o, const std::string& v, std::string& e) {
  static const char* const words[] = {"done",    "not verified", "failed",    "refused",
                                      "stopped", "skipped",      "unfinished"};
  o.result = v == "not-verified" ? "not verified" : v;
  for (const char* w : words)
    if (o.result == w) return true;
  e = "--result: \"" + files::shown(v) +
      "\" is none of done, not-verified, failed, refused, stopped, skipped, unfinished";
  return false;
}

const OptionRow kOptions[] = {
    {"--address", "-a", "N", kUpload | kDecode,
     "address 1 to 512 (default 1; see v1.2); a list: 1,5,9-12", applyAddress},
    {"--profile", "-p", "NAME", kUpload, "release profile: v1.2 (default), v1.1 or early",
     applyProfile},
    {"--fast", "-f", nullptr, kUpload, "pace data frames 11 ms apart instead of 50 ms", applyFast},
    {"--adapter", nullptr, "NAME", kUpload | kList | kFixtures | kHistory,
     "adapter driver (see below); again for each further line", applyAdapter},
    {"--lines", nullptr, "FILE", kUpload | kList, "one adapter a line, from FILE (# comments)",
     applyLines},
    {"--json", nullptr, nullptr, kUpload | kRecords,
     "several lines' report, or the records, as one JSON object", applyJson},
    {"--serial", nullptr, "S", kUpload, "open the adapter with serial number S, not the first",
     applySerial},
    {"--capture", nullptr, "FILE.pcap", kUpload,
     "write every packet sent to a pcap capture (link type 147)", applyCapture},
    {"--log", nullptr, "FILE", kUpload, "append the log, time-stamped, and the result to FILE",
     applyLog},
    {"--node-gap", nullptr, "MICROSECONDS", kUpload,
     "packets to one node this far apart (100; 0: off)", applyNodeGap},
    {"--read-back", nullptr, nullptr, kUpload,
     "artnet: read the fixtures' versions over RDM before and after", applyReadBack},
    {"--model", nullptr, "ID[,ID]", kUpload, "artnet: refuse fixtures of other DEVICE_INFO models",
     applyModel},
    {"--dry-run", "-n", nullptr, kUpload, "send nothing: resolve the lines, print the plan",
     applyDryRun},
    {"--settle", nullptr, "SECONDS", kUpload,
     "--read-back: wait for the restart before reading (10)", applySettle},
    {"--force", nullptr, nullptr, kUpload, "send anyway: no raw image, or no fixture answered",
     applyForce},
    {"--rdm-uid", nullptr, "UID", kUpload | kFixtures,
     "our RDM controller UID, MMMM:DDDDDDDD (default 7FF0:00000001)", applyRdmUid},
    {"--quiet", "-q", nullptr, kAny, "no image line, progress or closing text; errors still show",
     applyQuiet},
    {"--verbose", "-v", nullptr, kUpload, "more log: a line at each frame's first send",
     applyVerbose},
    {"--records", nullptr, "FILE", kUpload | kFixtures | kRecords,
     "the service records' SQLite file, instead of the default", applyRecords},
    {"--no-records", nullptr, nullptr, kUpload | kFixtures,
     "keep no service record of the upload or the readings", applyNoRecords},
    {"--csv", nullptr, nullptr, kRecords, "the records as CSV instead of a table", applyCsv},
    {"--since", nullptr, "DATE", kHistory,
     "uploads started from DATE on: YYYY-MM-DD[THH:MM[:SS]][Z]", applySince},
    {"--image", nullptr, "SHA|NAME", kHistory, "uploads of this image (SHA-256, name or path)",
     applyImage},
    {"--result", nullptr, "WORD", kHistory, "uploads that ended so (done, failed, unfinished...)",
     applyResult},
    {"--listen", nullptr, "HOST:PORT", kServe, "where the console listens (127.0.0.1:8417)",
     applyListen},
    {"--token-file", nullptr, "FILE", kServe, "the console's access token from FILE, not a new one",
     applyTokenFile},
    {"--out", nullptr, "IMAGE", kDecode, "write the image the device received to IMAGE", applyOut},
    {"--expect", nullptr, "FILE", kDecode,
     "compare the received image with FILE (exit 3 if it differs)", applyExpect},
};

// Options that act only together with another: without it they would do
// nothing, and are refused rather than silently ignored.
struct Needs {
  const char* option;
  unsigned commands;  // where it needs `needs`; elsewhere it acts alone
  const char* needs;
  const char* why;
};
const Needs kNeeds[] = {
    {"--settle", kUpload, "--read-back", "it is the wait before the fixtures are read again"},
    {"--rdm-uid", kUpload, "--read-back",
     "an upload speaks RDM only to read the fixtures back (fixtures takes it alone)"},
};

// A driver's option, as a row of the table: it applies to uploads (and to
// listings when the driver says so) and is kept for the driver as given.
bool applyDriverOption(Options& o, const std::string& name, const DriverOption& opt,
                       const std::string& value, std::string& error) {
  if (opt.check != nullptr && !opt.check(value, error)) return false;
  o.driverSettings.push_back({name, value});
  return true;
}

// Every row: the command line's own, then each driver's.
std::vector<OptionRow> allOptions() {
  std::vector<OptionRow> rows(std::begin(kOptions), std::end(kOptions));
  for (const DriverEntry* e = driverEntries(); e->prefix != nullptr; ++e)
    for (const DriverOption* d = e->options; d->name != nullptr; ++d)
      rows.push_back(
          {d->name, nullptr, d->valueName, kUpload | (d->listing ? kList : 0u), d->help, nullptr});
  return rows;
}

const std::vector<OptionRow>& optionRows() {
  static const std::vector<OptionRow> rows = allOptions();
  return rows;
}

const OptionRow* findOption(const std::string& name) {
  for (const OptionRow& opt : optionRows())
    if (name == opt.name || (opt.shortName != nullptr && name == opt.shortName)) return &opt;
  return nullptr;
}

// "unknown option "--adress" (did you mean --address?)".
std::string unknownOption(const std::string& name) {
  std::vector<std::string> names;
  for (const OptionRow& opt : optionRows()) names.push_back(opt.name);
  for (const char* own : {"--help", "--version"}) names.push_back(own);
  const std::string near = name.size() > 2 ? nearestWord(name, names) : "";
  return "unknown option " + files::quoted(name) +
         (near.empty() ? " (try --help)" : " (did you mean " + near + "?)");
}

Command commandNamed(const std::string& word) {
  if (word == "upload") return Command::upload;
  if (word == "list") return Command::list;
  if (word == "decode") return Command::decode;
  if (word == "fixtures") return Command::fixtures;
  if (word == "history") return Command::history;
  if (word == "inventory") return Command::inventory;
  if (word == "serve") return Command::serve;
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
    case Command::fixtures:
      return kFixtures;
    case Command::history:
      return kHistory;
    case Command::inventory:
      return kInventory;
    case Command::serve:
      return kServe;
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
    case Command::fixtures:
      return "fixtures";
    case Command::history:
      return "history";
    case Command::inventory:
      return "inventory";
    case Command::serve:
      return "serve";
    case Command::none:
      break;
  }
  return "";
}

std::string unknownCommand(const std::string& word) {
  const std::string near =
      nearestWord(word, {"upload", "list", "decode", "fixtures", "history", "inventory", "serve"});
  return "unknown command " + files::quoted(word) +
         (near.empty() ? " (try --help)" : " (did you mean " + near + "?)");
}

ParseResult usage(std::string error) { return {ParseStatus::usage, std::move(error)}; }

// One option's line of the help: "  -a, --address N   device address ...",
// and the commands it applies to when the help covers them all.
std::string helpRow(const OptionRow& opt, const std::string& where) {
  std::string left = std::string("  ") + (opt.shortName != nullptr ? opt.shortName : "  ") +
                     (opt.shortName != nullptr ? ", " : "  ") + opt.name;
  if (opt.valueName != nullptr) left += std::string(" ") + opt.valueName;
  if (left.size() < 26) left.resize(26, ' ');
  std::string row = left + " " + opt.help;
  if (where.empty()) return row + "\n";
  if (row.size() + where.size() + 3 > 79)
    return row + "\n" + std::string(27, ' ') + "[" + where + "]\n";
  return row + " [" + where + "]\n";
}

const char* const kUsageLines[] = {
    "  uploader-cli upload FILE [options]       send the raw image FILE over the line\n",
    "  uploader-cli list [options]              list the adapters, serial number first\n",
    "  uploader-cli decode FILE.pcap [options]  what a device receives from a capture\n",
    ("  uploader-cli fixtures --adapter artnet:HOST[:PORT-ADDRESS]\n"
     "                                           the fixtures on a node's port, read over RDM\n"),
    ("  uploader-cli history [--since DATE] [--image SHA|NAME] [--adapter NAME]\n"
     "                       [--result WORD]     the uploads the service records hold\n"),
    "  uploader-cli inventory [options]         each fixture's last reading over RDM\n",
    "  uploader-cli serve [--listen HOST:PORT]  the rig console, a page to run uploads\n",
};

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
    if (arg == "--version" || arg == "-V") {
      version = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    const OptionRow* opt = findOption(name);
    if (opt == nullptr) return usage(unknownOption(name));
    for (const OptionRow* seen : given)
      if (seen == opt && name != "--adapter") return usage(name + " given twice");
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
    const DriverOption* driverOption = nullptr;
    const bool applied = opt->apply != nullptr
                             ? opt->apply(o, value, error)
                             : driverOfOption(name, &driverOption) != nullptr &&
                                   applyDriverOption(o, name, *driverOption, value, error);
    if (!applied) return usage(error);
  }
  if (help) {
    if (!words.empty()) o.command = commandNamed(words[0]);
    return {ParseStatus::help, ""};
  }
  if (version) return {ParseStatus::version, ""};

  if (words.empty())
    return usage(
        "no command given: upload, list, decode, fixtures, history, inventory or serve (try "
        "--help)");
  o.command = commandNamed(words[0]);
  if (o.command == Command::none) return usage(unknownCommand(words[0]));
  for (const OptionRow* opt : given)
    if ((opt->commands & commandBit(o.command)) == 0)
      return usage(std::string(opt->name) + " does not apply to " + commandName(o.command));
  const auto wasGiven = [&given](const char* name) {
    for (const OptionRow* opt : given)
      if (std::strcmp(opt->name, name) == 0) return true;
    return false;
  };
  for (const Needs& n : kNeeds)
    if ((n.commands & commandBit(o.command)) != 0 && wasGiven(n.option) && !wasGiven(n.needs))
      return usage(std::string(n.option) + " does nothing without " + n.needs + ": " + n.why);

  if (o.noRecords && wasGiven("--records"))
    return usage("--records and --no-records say opposite things: give one");
  if (o.json && o.csv) return usage("--json and --csv: give one");
  if (o.command == Command::history && o.adapterNames.size() > 1)
    return usage("history takes one --adapter");
  if (o.command == Command::decode && o.addresses.size() > 1)
    return usage("decode checks one device: give --address one address");
  const std::size_t wanted = o.command == Command::list || o.command == Command::fixtures ||
                                     o.command == Command::history ||
                                     o.command == Command::inventory || o.command == Command::serve
                                 ? 1
                                 : 2;
  if (words.size() < wanted)
    return usage(std::string(commandName(o.command)) + " needs a " +
                 (o.command == Command::upload ? "FILE" : "FILE.pcap"));
  if (words.size() > wanted) return usage("unexpected argument \"" + words[wanted] + "\"");
  if (wanted == 2) {
    o.file = words[1];
    if (o.file.empty()) return usage("the file name is empty");
  }
  return {};
}

bool uploadAsksForJson(int argc, const char* const* argv, std::string& file) {
  bool json = false;
  bool optionsEnded = false;
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      words.push_back(arg);
      continue;
    }
    optionsEnded = arg == "--";
    const std::string name = arg.substr(0, arg.find('='));
    json = json || name == "--json";
    const OptionRow* opt = findOption(name);
    // Its value, unless it is an option itself (which the parser refuses as a value).
    if (opt != nullptr && opt->valueName != nullptr && name == arg && i + 1 < argc &&
        argv[i + 1][0] != '-')
      ++i;
  }
  if (!json || words.empty() || commandNamed(words[0]) != Command::upload) return false;
  file = words.size() > 1 ? words[1] : "";
  return true;
}

std::string helpText(Command command) {
  const bool all = command == Command::none;
  std::string t =
      "uploader-cli: uploads firmware into DMX512 fixtures through a USB-to-DMX adapter\n"
      "or an Art-Net or sACN node. The DMX512 line is one-way: every frame is sent\n"
      "several times at a fixed pace. Through an Art-Net node that carries RDM, fixtures\n"
      "lists the fixtures on a port and upload --read-back reads their versions before\n"
      "and after. Every upload starts with a fresh reset burst: one that failed or was\n"
      "interrupted is simply started again. Uploads and readings are kept in the service\n"
      "records, which history and inventory ask.\n\nUsage:\n";
  const Command commands[] = {Command::upload,   Command::list,    Command::decode,
                              Command::fixtures, Command::history, Command::inventory,
                              Command::serve};
  for (std::size_t i = 0; i < std::size(commands); ++i)
    if (all || commands[i] == command) t += kUsageLines[i];
  if (all) t += "  uploader-cli COMMAND --help | --version\n";
  t += all ? "\nOptions (the commands each applies to in brackets):\n" : "\nOptions:\n";
  for (const OptionRow& opt : optionRows()) {
    if (!all && (opt.commands & commandBit(command)) == 0) continue;
    std::string where;
    for (Command c : {Command::upload, Command::list, Command::decode, Command::fixtures,
                      Command::history, Command::inventory, Command::serve})
      if (all && (opt.commands & commandBit(c)) != 0)
        where += std::string(where.empty() ? "" : ", ") + commandName(c);
    t += helpRow(opt, where);
  }
  t += "  -h, --help               this text (after a command: that command's)\n";
  if (all) t += "  -V, --version            the program's version\n";
  if (all || command == Command::upload || command == Command::list ||
      command == Command::fixtures) {
    t += "\nAdapters (--adapter NAME; default " + std::string(defaultAdapterName()) + "):\n";
    for (const DriverEntry* e = driverEntries(); e->prefix != nullptr; ++e) {
      std::string left = std::string("  ") + e->usage;
      if (left.size() < 26) left.resize(26, ' ');
      t += left + " " + e->summary + "\n";
    }
  }
  if (all || command == Command::upload)
    t += "\n"
         "Profile v1.2 (the default) sends its resets to every device on the line (address\n"
         "65535): every fixture on the line takes the image, and --address only names the\n"
         "fixture in the report. v1.1 and early reset only the device at --address.\n"
         "\n"
         "Before sending, the image's size and SHA-256 are shown (on standard error) to be\n"
         "matched with the release notes; a file that looks like Intel HEX, S-records, ELF\n"
         "or a zip archive, or an empty one, is refused (exit 2) unless --force is given.\n";
  if (all || command == Command::serve)
    t += "\n"
         "serve prints the address to open first (console: http://127.0.0.1:8417/?token=...),\n"
         "with a new random token each start (or the one in --token-file): every call needs\n"
         "it. --listen HOST:0 takes any free port. An address other than loopback (--listen\n"
         "0.0.0.0:8417) makes the console reachable from the network: anyone with the token\n"
         "can upload. It runs until Ctrl-C or SIGTERM, then stops every upload cleanly and\n"
         "ends with 130. Not in the Windows build (exit 64 there). docs/console.md has the API.\n";
  if (command == Command::serve) return t;
  if (all || (command != Command::list && command != Command::decode))
    t += "\n"
         "Every upload and every fixture read over RDM goes into the service records, a\n"
         "SQLite file (default $XDG_DATA_HOME/tavik-uploader/records.sqlite, that is\n"
         "~/.local/share/...; %LOCALAPPDATA%\\tavik-uploader\\ on Windows); history and\n"
         "inventory ask it. A --records FILE that is no records file of this uploader, of a\n"
         "newer schema or not writable is refused before anything is sent (exit 2); at the\n"
         "default place the upload goes on unrecorded, saying so once. A record lost during\n"
         "a good upload (a full disk) is said and ends it with exit 74.\n";
  t += "\n"
       "The diagnostic log goes to standard output; progress, errors (\"error: ...\") and the\n"
       "closing text go to standard error. With --adapter sim the device's report follows the\n"
       "log and the upload counts as done only when the device received the image intact.\n"
       "\n"
       "Exit status: 0 done (and verified on the simulated adapter), 1 adapter or line failure,\n"
       "2 file refused (image unreadable, too large or no raw image, capture or log file\n"
       "unreadable or unwritable, a --records file that cannot be used), 3 the virtual\n"
       "device did not receive the image intact, 4 decode: the capture does not hold the\n"
       "whole image (frames missing or unusable, when not compared with a file),\n"
       "5 --read-back: a fixture kept its version or stopped answering over RDM, or none\n"
       "answered before the upload (then nothing is sent, unless --force), 6 --model: a\n"
       "fixture that would take the upload is of another model (nothing is sent, unless\n"
       "--force), 64 unknown or malformed arguments (a FILE path longer than 259 characters\n"
       "included; fixtures or --read-back through an adapter without RDM), 74 output could\n"
       "not be written (standard output, --out, a capture cut short or a service record\n"
       "lost after a good upload), 130 interrupted (Ctrl-C, SIGTERM, SIGHUP): run the same\n"
       "command again.\n"
       "\n"
       "Option values that start with \"-\" are taken only as --option=VALUE. Only regular\n"
       "files are read: a directory, a device or a FIFO is refused before it is opened.\n";
  return t;
}
