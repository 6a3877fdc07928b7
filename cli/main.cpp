// tarnwex-cli: the catalog from the command line.
// Exit status: 0 success, 1 error (message on stderr), 2 wrong usage.
#include <clocale>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "base/Error.h"
#include "cli/Args.h"
#include "cli/CliHost.h"
#include "cli/Commands.h"
#include "core/LibClasses.h"
#include "state/Globals.h"
#include "state/Settings.h"

namespace {

const char* kUsage =
    "usage: tarnwex-cli COMMAND [ARGS]\n"
    "\n"
    "commands:\n"
    "  new LIB [--force]          create an empty library file\n"
    "  info LIB [--json]          header, statistics and volumes of a library\n"
    "  ls LIB [PATH] [--json]     the volumes, or the items of a library path such as 'CD 1\\Music\\'\n"
    "  resave LIB OUT [--force]   open a library and save it under another name\n"
    "  merge LIB OTHER...         import other libraries into LIB and save it\n"
    "  handlers [--reset] [--enable T] [--disable T] [--json]\n"
    "                             the file-type handler table of the settings\n"
    "  tags FILE... [--json]      the tag lines the handlers give each file\n"
    "  add LIB FOLDER [...]       scan a folder into a new volume of LIB\n"
    "  update LIB PATH [FOLDER] [...]\n"
    "                             bring a volume or folder up to date\n"
    "  archive FILE [--json]      the member list a scan records for an archive\n"
    "  du LIB [PATH] [--json]     the sizes of the library, a volume and a folder\n"
    "  find LIB [criteria]        search entries (also duplicates, replace, saved searches)\n"
    "  dupes LIB [criteria]       find --dupes\n"
    "  export LIB OUT [...]       write entries as delimited text\n"
    "  import LIB IN [...]        record entries from delimited text\n"
    "\n"
    "Every command takes --help, and -q/--quiet (also before the command) to silence log lines.\n"
    "tarnwex-cli --version prints the version.\n";

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  std::vector<std::string> args(argv + 1, argv + argc);
  // Options of the tool itself come before the command.
  bool quiet = false;
  while (!args.empty() && (args[0] == "-q" || args[0] == "--quiet")) {
    quiet = true;
    args.erase(args.begin());
  }
  if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
    std::cout << kUsage;
    return args.empty() ? 2 : 0;
  }
  if (args[0] == "--version") {
    std::cout << "tarnwex-cli " << tw::kSettingsStamp << ", library files " << tw::kLibraryVersion << '\n';
    return 0;
  }
  std::string command = args[0];
  args.erase(args.begin());

  const tw::cli::TCommand* cmd = tw::cli::FindCommand(command);
  if (!cmd) {
    std::cerr << "tarnwex-cli: unknown command '" << command << "'\nsee tarnwex-cli --help\n";
    return 2;
  }
  std::vector<std::string> rest;
  for (auto& a : args) {
    if (a == "--help" || a == "-h") {
      std::cout << cmd->Help;
      return 0;
    }
    if (a == "-q" || a == "--quiet")
      quiet = true;
    else
      rest.push_back(a);
  }

  tw::TCliHost host;
  host.Quiet = quiet;
  tw::TGlobalData globals(host);
  host.Attach(&globals);
  globals.UpperCaseMessageKeys();
  try {
    tw::cli::TArgs parsed(rest, cmd->Flags, cmd->Options);
    int status = cmd->Run(globals, host, parsed);
    return status == 0 && host.ErrorShown ? 1 : status;
  } catch (const tw::cli::EReported&) {
    return 1;
  } catch (const tw::cli::EUsage& e) {
    std::cerr << "tarnwex-cli " << command << ": " << e.what() << "\nsee tarnwex-cli " << command << " --help\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "error: " << tw::TextOf(e, globals.Messages()) << "\n";
    return 1;
  }
}
