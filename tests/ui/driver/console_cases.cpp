// The log of a window program started from a command prompt reaches that
// prompt's console.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/ui/driver/fixture.h"
#include "tests/ui/driver/operate.h"

namespace {

class Console : public WindowTest {};

// The text of the console's screen buffer, rows joined by line breaks.
std::string consoleText() {
  HANDLE screen =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (screen == INVALID_HANDLE_VALUE) return "(no console)";
  CONSOLE_SCREEN_BUFFER_INFO info;
  GetConsoleScreenBufferInfo(screen, &info);
  std::string text;
  for (SHORT row = 0; row < info.dwSize.Y; ++row) {
    std::string line(static_cast<std::size_t>(info.dwSize.X), ' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterA(screen, line.data(), info.dwSize.X, {0, row}, &read);
    line.resize(read);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    text += line + "\n";
  }
  CloseHandle(screen);
  while (text.size() > 1 && text.ends_with("\n\n")) text.pop_back();
  return text;
}

TEST_F(Console, LogReachesTheConsoleOfTheStartingProgram) {
  // A console of the test's own, as a command prompt has.
  FreeConsole();
  ASSERT_TRUE(AllocConsole());
  // Wide enough that no log line wraps.
  SetConsoleScreenBufferSize(GetStdHandle(STD_OUTPUT_HANDLE), {400, 100});
  const std::string path = writeImage("image.bin", patternImage(10));
  Launch launch{&kV1_2, {{"ADAPTERS", "none"}}, true};
  launch.outputToFile = false;
  App app(launch, workDir);
  chooseFileInDialog(app, path);
  const BoxSeen box = programAndAcknowledge(app);
  EXPECT_EQ(box.text, "CANNOT CONNECT TO PROGRAMMER");
  EXPECT_EQ(app.closeAndWait(), 1);
  const std::string text = consoleText();
  FreeConsole();
  EXPECT_NE(text.find("Readed file \"" + path + "\" 10B\nError FT_OpenEx(2), device 0\n"),
            std::string::npos)
      << text;
}

}  // namespace
