// SPDX-License-Identifier: MIT
// Finding the default SVG program by the XDG MIME Applications lookup, the
// Exec expansion, and starting programs.
#include "core/platform/viewer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/platform/process_start.h"
#include "support/scoped_seam.h"
#include "support/xdg_home.h"

namespace glyphor {
namespace {

using test::ReadFile;

struct RecordedMessages : TUserMessages {
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

struct StartCall {
  std::vector<std::string> argv;
  StartMode mode;
};

class ViewerTest : public test::XdgHomeTest {
 protected:
  ViewerTest() {
    // Two viewer programs whose paths hold blanks.
    viewerA_ = (root() / "my viewers") + "/view svg";
    viewerB_ = (root() / "my viewers") + "/other viewer";
    for (const auto& program : {viewerA_, viewerB_}) {
      Put(program, "#!/bin/sh\nexit 0\n");
      ::chmod(program.c_str(), 0755);
    }
  }

  // A desktop entry for `program` in the applications folder `appDir`.
  void Entry(const std::string& appDir, const std::string& file, const std::string& program,
             const std::string& extra = "MimeType=image/png;image/svg+xml;\n") {
    Put(appDir + "/" + file,
        "[Desktop Entry]\nType=Application\nName=" + file + "\nExec=\"" + program + "\" --new %U\n" + extra);
  }
  void List(const std::string& path, const std::string& text) { Put(path, text); }

  // Replaces the process start for the test's lifetime.
  std::vector<StartCall>& RecordStarts(int result = 0) {
    *starter_ = [this, result](const std::vector<std::string>& argv, StartMode mode) {
      starts_.push_back({argv, mode});
      return result;
    };
    return starts_;
  }
  test::ScopedSeam<ProcessStarter> starter_{ProcessStarterSeam()};

  std::string userApps() const { return dataHome() + "/applications"; }
  std::string systemApps() const { return systemData() + "/applications"; }

  std::string viewerA_, viewerB_;
  std::vector<StartCall> starts_;
};

TEST_F(ViewerTest, NoAssociationShowsMessageAndStartsNothing) {
  Entry(systemApps(), "png.desktop", viewerA_, "MimeType=image/png;\n");
  auto& starts = RecordStarts();
  EXPECT_EQ(FindViewer("/tmp/x.svg"), "");
  RecordedMessages messages;
  LaunchViewer("/tmp/x.svg", messages);
  EXPECT_EQ(messages.shown, std::vector<std::string>{"SVGのビューワーが見つかりませんでした。"});
  EXPECT_TRUE(starts.empty());
}

TEST_F(ViewerTest, InstalledEntryListingTheTypeIsFound) {
  Entry(systemApps(), "a.desktop", viewerA_);
  EXPECT_EQ(FindViewer("/tmp/x.svg"), viewerA_);
  // An entry in a subfolder has the ID "vendor-b.desktop".
  List(configHome() + "/mimeapps.list", "[Default Applications]\nimage/svg+xml=vendor-b.desktop\n");
  Entry(systemApps() + "/vendor", "b.desktop", viewerB_, "");
  EXPECT_EQ(FindViewer("/tmp/x.svg"), viewerB_);
}

TEST_F(ViewerTest, DefaultsFollowTheFileOrder) {
  Entry(systemApps(), "a.desktop", viewerA_);
  Entry(systemApps(), "b.desktop", viewerB_);
  List(systemApps() + "/mimeapps.list", "[Default Applications]\nimage/svg+xml=b.desktop\n");
  EXPECT_EQ(FindViewer("x.svg"), viewerB_);
  List(configDir() + "/mimeapps.list", "[Default Applications]\nimage/svg+xml=a.desktop;b.desktop;\n");
  EXPECT_EQ(FindViewer("x.svg"), viewerA_);
  List(configHome() + "/mimeapps.list", "[Default Applications]\nimage/png=a.desktop\nimage/svg+xml=b.desktop\n");
  EXPECT_EQ(FindViewer("x.svg"), viewerB_);
}

TEST_F(ViewerTest, DesktopSpecificListsComeFirstForTheirDesktop) {
  Entry(userApps(), "a.desktop", viewerA_);
  Entry(userApps(), "b.desktop", viewerB_);
  List(configHome() + "/mimeapps.list", "[Default Applications]\nimage/svg+xml=a.desktop\n");
  List(configHome() + "/gnome-mimeapps.list", "[Default Applications]\nimage/svg+xml=b.desktop\n");
  EXPECT_EQ(FindViewer("x.svg"), viewerA_);
  SetVar("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
  EXPECT_EQ(FindViewer("x.svg"), viewerB_);
  SetVar("XDG_CURRENT_DESKTOP", "KDE");
  EXPECT_EQ(FindViewer("x.svg"), viewerA_);
}

TEST_F(ViewerTest, UnusableDefaultsAreSkipped) {
  Entry(systemApps(), "a.desktop", viewerA_);
  Entry(systemApps(), "gone.desktop", root() / "no such program");
  Entry(systemApps(), "hidden.desktop", viewerB_, "Hidden=true\n");
  Entry(systemApps(), "tryexec.desktop", viewerB_, "TryExec=no-such-program-here\n");
  Entry(systemApps(), "b.desktop", viewerB_, "");
  List(configHome() + "/mimeapps.list",
       "[Default Applications]\nimage/svg+xml=missing.desktop;gone.desktop;hidden.desktop;tryexec.desktop;b.desktop\n");
  EXPECT_EQ(FindViewer("x.svg"), viewerB_);
  // With every default unusable, the associations decide.
  List(configHome() + "/mimeapps.list", "[Default Applications]\nimage/svg+xml=missing.desktop;gone.desktop\n");
  EXPECT_EQ(FindViewer("x.svg"), viewerA_);
}

TEST_F(ViewerTest, RemovedAndAddedAssociations) {
  Entry(userApps(), "a.desktop", viewerA_);
  Entry(systemApps(), "b.desktop", viewerB_);
  EXPECT_EQ(FindViewer("x.svg"), viewerA_);
  List(configHome() + "/mimeapps.list", "[Removed Associations]\nimage/svg+xml=a.desktop;\n");
  EXPECT_EQ(FindViewer("x.svg"), viewerB_);
  // An added association wins over entries that only list the type.
  Entry(systemApps(), "c.desktop", viewerA_, "");
  List(configHome() + "/mimeapps.list",
       "[Added Associations]\nimage/svg+xml=c.desktop;\n"
       "[Removed Associations]\nimage/svg+xml=b.desktop;a.desktop\n");
  EXPECT_EQ(FindViewer("x.svg"), viewerA_);
  // A removal in the less important system list does not reach the user's entries.
  List(configHome() + "/mimeapps.list", "");
  List(systemApps() + "/mimeapps.list", "[Removed Associations]\nimage/svg+xml=a.desktop;\n");
  EXPECT_EQ(FindViewer("x.svg"), viewerA_);
}

TEST_F(ViewerTest, UserEntryShadowsTheSystemOne) {
  Entry(systemApps(), "a.desktop", viewerA_);
  Entry(userApps(), "a.desktop", viewerA_, "MimeType=image/png;\n");
  EXPECT_EQ(FindViewer("x.svg"), "");
}

TEST_F(ViewerTest, ExecExpansion) {
  TDesktopEntry entry{"/usr/share/applications/v.desktop", "Vue", "vue-icon", ""};
  const std::string doc = "/home/u/my docs/100% \"x\".svg";
  entry.exec = "\"/opt/my viewer/bin/v\" --title=%c %i -k %k %U --pct=50%% %d";
  EXPECT_EQ(ExpandExec(entry, doc),
            (std::vector<std::string>{"/opt/my viewer/bin/v", "--title=Vue", "--icon", "vue-icon", "-k",
                                      "/usr/share/applications/v.desktop", doc, "--pct=50%"}));
  entry.exec = "'/opt/a b/v' \"q\\\"\\$\\`\\\\\" pl\\ ain";
  EXPECT_EQ(ExpandExec(entry, doc), (std::vector<std::string>{"/opt/a b/v", "q\"$`\\", "pl ain", doc}));
  entry.exec = "\"/opt/v";
  EXPECT_TRUE(ExpandExec(entry, doc).empty());
}

TEST_F(ViewerTest, LaunchHandsTheExpandedCommandToTheStarter) {
  // "\\s" and "\\\\" are string escapes of the file, resolved before the Exec quoting.
  Put(userApps() + "/a.desktop", "[Desktop Entry]\nType=Application\nName=A\nMimeType=image/svg+xml\nExec=\"" +
                                     viewerA_ + "\" --x=\"a\\\\\\\\b\"\\s%f\n");
  auto& starts = RecordStarts();
  RecordedMessages messages;
  LaunchViewer("/tmp/dir with blanks/out.svg", messages);
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].argv, (std::vector<std::string>{viewerA_, "--x=a\\b", "/tmp/dir with blanks/out.svg"}));
  EXPECT_EQ(starts[0].mode, StartMode::Detached);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ViewerTest, CommandLineOfQuotedItems) {
  auto& starts = RecordStarts(13);
  RecordedMessages messages;
  EXPECT_FALSE(RunCommandLine(QuoteText("/opt/a b/v") + " " + QuoteText("/tmp/c d.svg") + "  -x", messages));
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].argv, (std::vector<std::string>{"/opt/a b/v", "/tmp/c d.svg", "-x"}));
  EXPECT_EQ(messages.shown, std::vector<std::string>{"実行できません (13)"});
}

// These start real processes: none is a viewer, and each ends at once.
TEST_F(ViewerTest, StartFailuresReportTheErrorNumber) {
  RecordedMessages messages;
  EXPECT_FALSE(RunCommandLine(std::vector<std::string>{root() / "missing program", "x"}, messages));
  EXPECT_FALSE(RunCommandLine(std::vector<std::string>{"glyphor-no-such-program"}, messages));
  const std::string notExecutable = root() / "plain file";
  Put(notExecutable, "#!/bin/sh\n");
  ::chmod(notExecutable.c_str(), 0644);
  EXPECT_FALSE(RunCommandLine(std::vector<std::string>{notExecutable}, messages));
  EXPECT_EQ(messages.shown,
            (std::vector<std::string>{"実行できません (2)", "実行できません (2)", "実行できません (13)"}));
}

TEST_F(ViewerTest, DetachedStartPassesArgumentsAndLeavesNoChild) {
  const std::string out = root() / "args out";
  const std::string script = viewerA_;
  Put(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s|' \"$a\"; done > \"$0 out.tmp\" && mv \"$0 out.tmp\" \"" +
                  out + "\"\n");
  RecordedMessages messages;
  EXPECT_TRUE(RunCommandLine(std::vector<std::string>{script, "/tmp/a b.svg", "%f"}, messages));
  EXPECT_TRUE(messages.shown.empty());
  // Nothing of ours is left to reap: the started program belongs to init.
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  for (int i = 0; i < 100 && !test::FileExists(out); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(ReadFile(out), "/tmp/a b.svg|%f|");
}

TEST_F(ViewerTest, WaitedStartReturnsAfterTheProgramEnds) {
  const std::string out = root() / "waited";
  EXPECT_EQ(StartProcess({"sh", "-c", "echo noise; echo err >&2; sleep 0.2; echo done > \"$0\"", out},
                         StartMode::WaitQuietly),
            0);
  EXPECT_EQ(ReadFile(out), "done\n");
}

}  // namespace
}  // namespace glyphor

namespace glyphor {
namespace {

// A field code inside a quoted argument meets a shell: the document is
// quoted for it, as GLib does, so a file named "$(cmd).svg" runs nothing.
TEST_F(ViewerTest, QuotedFieldCodesAreQuotedForTheShell) {
  const TDesktopEntry entry{"/apps/v.desktop", "It's", "", "sh -c \"view %f --title=%c\" x %f"};
  const std::string doc = "/w/$(touch PWNED) it's.svg";
  EXPECT_EQ(
      ExpandExec(entry, doc),
      (std::vector<std::string>{"sh", "-c", "view '/w/$(touch PWNED) it'\\''s.svg' --title='It'\\''s'", "x", doc}));
  // What the shell makes of it: the name, whole and inert.
  const std::string out = root() / "out";
  const std::string script = ExpandExec({"", "", "", "sh -c \"printf %%s %f > '" + out + "'\""}, doc)[2];
  EXPECT_EQ(StartProcess({"sh", "-c", script}, StartMode::WaitQuietly), 0);
  EXPECT_EQ(ReadFile(out), doc);
}

// image/svg+xml is application/xml, which is text/plain: without a program
// for SVG the nearest kind decides, as GIO's lookup has it. A program that
// needs a terminal is no viewer.
TEST_F(ViewerTest, ParentTypesDecideWhenNothingTakesSvg) {
  Put(systemData() + "/mime/subclasses", "image/svg+xml application/xml\napplication/xml text/plain\n");
  Entry(systemApps(), "text.desktop", viewerB_, "MimeType=text/plain;\n");
  EXPECT_EQ(FindViewer("x.svg"), viewerB_);
  Entry(systemApps(), "xml.desktop", viewerA_, "MimeType=application/xml;\n");
  EXPECT_EQ(FindViewer("x.svg"), viewerA_);
  Entry(systemApps(), "term.desktop", viewerB_, "Terminal=true\n");
  EXPECT_EQ(FindViewer("x.svg"), viewerA_);
}

// Files in the way of the lookup: a FIFO for mimeapps.list or an entry, a
// device behind an entry's name, and applications folders whose links loop
// (each link multiplied the walk before: six of them took minutes).
TEST_F(ViewerTest, FilesInTheWayEndTheLookupQuickly) {
  ::alarm(30);  // a hang ends the test program
  MakeDir(configHome());
  ASSERT_EQ(::mkfifo((configHome() + "/mimeapps.list").c_str(), 0600), 0);
  MakeDir(systemApps());
  ASSERT_EQ(::mkfifo((systemApps() + "/fifo.desktop").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", (systemApps() + "/zero.desktop").c_str()), 0);
  for (const char* name : {"l1", "l2", "l3", "l4", "l5", "l6"})
    ASSERT_EQ(::symlink(".", (systemApps() + "/" + name).c_str()), 0);
  Entry(systemApps(), "a.desktop", viewerA_);
  EXPECT_EQ(FindViewer("x.svg"), viewerA_);
  ::alarm(0);
}

// Reference: GIO's own lookup (the `gio mime` tool) on the same folders.
TEST_F(ViewerTest, AgreesWithGio) {
  if (FindProgram("gio").empty() || FindProgram("update-desktop-database").empty())
    GTEST_SKIP() << "gio or update-desktop-database is not installed";
  Put(systemData() + "/mime/subclasses", "image/svg+xml application/xml\napplication/xml text/plain\n");
  const auto entry = [&](const std::string& dir, const std::string& name, const std::string& types) {
    Put(dir + "/" + name,
        "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true %f\nMimeType=" + types + "\n");
  };
  const auto gio = [&] {
    // GIO knows installed types only from the caches this tool writes.
    for (const auto& dir : {userApps(), systemApps()})
      StartProcess({"update-desktop-database", dir}, StartMode::WaitQuietly);
    const std::string command = "env -i PATH=/usr/bin:/bin HOME='" + home() + "' XDG_CONFIG_HOME='" + configHome() +
                                "' XDG_DATA_HOME='" + dataHome() + "' XDG_CONFIG_DIRS='" + configDir() +
                                "' XDG_DATA_DIRS='" + systemData() + "' gio mime image/svg+xml 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    char line[512] = "";
    if (!std::fgets(line, sizeof line, pipe)) line[0] = '\0';
    ::pclose(pipe);
    const std::string first(line);
    return first.starts_with("Default application")
               ? first.substr(first.rfind(": ") + 2, first.find('\n') - first.rfind(": ") - 2)
               : std::string("none");
  };
  const auto ours = [] {
    const auto found = FindDefaultApplication("image/svg+xml");
    return found ? found->file.substr(found->file.rfind('/') + 1) : std::string("none");
  };
  SetVar("XDG_DATA_DIRS", systemData());
  MakeDir(userApps());
  entry(systemApps(), "text.desktop", "text/plain;");
  entry(systemApps(), "xml.desktop", "application/xml;");
  EXPECT_EQ(ours(), gio());
  entry(userApps(), "svg.desktop", "image/svg+xml;");
  EXPECT_EQ(ours(), gio());
  List(configHome() + "/mimeapps.list", "[Default Applications]\napplication/xml=text.desktop\n");
  EXPECT_EQ(ours(), gio());
  List(configHome() + "/mimeapps.list", "[Default Applications]\nimage/svg+xml=text.desktop\n");
  EXPECT_EQ(ours(), gio());
  List(configHome() + "/mimeapps.list", "[Removed Associations]\nimage/svg+xml=svg.desktop\n");
  EXPECT_EQ(ours(), gio());
  EXPECT_EQ(ours(), "xml.desktop");
}

// A batch run with the viewer option: the document reaches the viewer as
// one inert name even through a shell, and the run ends at once, leaving
// the viewer's output out of the caller's pipe.
TEST_F(ViewerTest, BatchRunStartsTheViewerSafelyAndDoesNotWaitForIt) {
  const std::string viewed = root() / "viewed";
  Put(userApps() + "/sh.desktop",
      "[Desktop Entry]\nType=Application\nName=Sh\nMimeType=image/svg+xml;\n"
      "Exec=sh -c \"echo %f > '" +
          viewed + "'; echo noise; echo more noise >&2; sleep 20\"\n");
  const std::string folder = root() / "work";
  const std::string gly = folder + "/$(cd;touch PWNED).gly";
  Put(gly, "[Font]\r\nFontName=DejaVu Sans\r\nFontText=A\r\n[SVG]\r\nView=1\r\n");
  // A display is configured (the program starts no viewer without one); nothing needs to answer there.
  const std::string command = "cd '" + folder + "' && env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 DISPLAY=:4711 HOME='" +
                              home() + "' XDG_CONFIG_HOME='" + configHome() + "' XDG_DATA_HOME='" + dataHome() +
                              "' XDG_DATA_DIRS='" + systemData() + "' " GLYPHOR_BINARY " '" + gly + "' 2>&1; echo $?";
  const auto start = std::chrono::steady_clock::now();
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buf[256];
  while (size_t n = std::fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
  ::pclose(pipe);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(output, "0\n");
  for (int i = 0; i < 100 && ReadFile(viewed).empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(ReadFile(viewed), folder + "/$(cd;touch PWNED).svg\n");
  EXPECT_FALSE(test::FileExists(home() + "/PWNED"));
  EXPECT_FALSE(test::FileExists(folder + "/PWNED"));
}

}  // namespace
}  // namespace glyphor
