// Running apps joined to the desktop entries that name them: from the
// entries' own text to the name said and the phrases that call it.

#include "apps/app-names.h"
#include "matchers.h"
#include "platform/desktop-entries.h"

namespace orvo {
namespace {

DesktopEntry entry(const std::string& text, const std::string& realFile = "") {
  auto parsed = parseDesktopEntry(text);
  EXPECT_TRUE(parsed) << text;
  if (parsed && !realFile.empty()) parsed->programFile = realFile;
  return parsed.value_or(DesktopEntry{});
}

TEST(AppNames, EntriesAreReadAndJoinedToTheProcessThatRunsThem) {
  const std::vector<DesktopEntry> entries = {
      entry("[Desktop Entry]\nType=Application\nName=LibreOffice Writer\nGenericName=Word "
            "Processor\nExec=libreoffice --writer %U\nStartupWMClass=libreoffice-writer\n"
            "[Desktop Action New]\nName=New Document\n",
            "soffice"),
      entry("[Desktop Entry]\nType=Application\nName=LibreOffice Calc\nExec=libreoffice --calc\n",
            "soffice"),
      entry("[Desktop Entry]\nType=Application\nName=LibreOffice\nExec=libreoffice %U\n", "soffice"),
      entry("[Desktop Entry]\nName=Text Editor\nType=Application\nExec=env GTK_THEME=x gedit %U\n"),
  };
  EXPECT_EQ(entries[3].program, "gedit");

  // The window's title says which of one process's apps is in front.
  KnownApp writer = knownApp("soffice", "Untitled 1 - LibreOffice Writer", entries);
  EXPECT_EQ(writer.spoken, "LibreOffice Writer");
  EXPECT_THAT(writer.calls, IsSupersetOf({"libreoffice writer", "word processor", "libreoffice",
                                          "writer", "calc", "soffice"}));
  EXPECT_EQ(writer.calls.front(), "libreoffice writer");  // longest first
  EXPECT_EQ(knownApp("soffice", "", entries).spoken, "LibreOffice");
  EXPECT_EQ(knownApp("soffice.bin", "Book1 - LibreOffice Calc", entries).spoken,
            "LibreOffice Calc");
  EXPECT_EQ(knownApp("gedit", "notes.txt", entries).spoken, "Text Editor");
  // Unknown to the desktop: its own name, and its first word.
  KnownApp logic = knownApp("Logic Pro", "", entries);
  EXPECT_EQ(logic.spoken, "Logic Pro");
  EXPECT_THAT(logic.calls, ElementsAre("logic pro", "logic"));

  // Entries that are no app to start are left out.
  for (const char* text :
       {"[Desktop Entry]\nType=Link\nName=Site\n", "[Desktop Entry]\nType=Application\n",
        "[Desktop Entry]\nType=Application\nName=Hidden\nNoDisplay=true\n", "Name=Loose\n"}) {
    EXPECT_FALSE(parseDesktopEntry(text)) << text;
  }
}

}  // namespace
}  // namespace orvo
