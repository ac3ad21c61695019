#include "cli/record_result.h"

#include "files/shown_text.h"
#include "session/exit_codes.h"

const char* resultWord(int exitCode) {
  switch (exitCode) {
    case exitDone:
      return "DONE";
    case exitLineFailed:
      return "FAILED";
    case exitFileRefused:
      return "REFUSED";
    case exitNotIntact:
      return "NOT-INTACT";
    case exitIncomplete:
      return "INCOMPLETE";
    case exitReadBack:
      return "NOT-CONFIRMED";
    case exitWrongModel:
      return "WRONG-MODEL";
    case exitUsage:
      return "USAGE";
    case exitInterrupted:
      return "STOPPED";
    case exitOutputFailed:
      return "DONE-OUTPUT-LOST";
    default:
      return "ENDED";
  }
}

std::string resultLine(const ImageBytes* image, const std::string& file, const std::string& where,
                       const std::string& profile, int exitCode) {
  std::string fields = "file=" + files::quotedField(file);
  if (image != nullptr && !image->tooLarge)
    fields += " size=" + std::to_string(image->fileSize) + " sha256=" + image->sha256;
  fields += " " + where + " profile=" + profile;
  return "result: " + fields + " result=" + resultWord(exitCode) +
         " exit=" + std::to_string(exitCode);
}
