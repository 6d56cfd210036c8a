#pragma once
// The commands of the main and preview windows, and how toolbar captions choose them.
#include <string>

namespace tessory::ui {

enum class MainCommand { None, Open, Save, Preview, Stop, Settings, BrowserSwitch, Help, About };
enum class PreviewCommand { None, Save, Print, Close };

// Tests "Options", "Preview", "Save", "Stop", "Open" in that order; anything else is None.
MainCommand MainCommandForCaption(const std::string& caption);
// Tests "Save", "Print", "Close" in that order; anything else is None.
PreviewCommand PreviewCommandForCaption(const std::string& caption);

// Everything after the program's own path on a command line (quoted or not), blanks before it skipped.
std::string CommandTail(const std::string& commandLine);
// The folder text of a command-line tail: the whole tail, blanks around it and one pair of
// enclosing double quotes removed (the shell and Wine quote paths that contain blanks).
std::string FolderFromCommandTail(const std::string& tail);

// "Version major.minor.revision" from the parts of a version resource.
std::string VersionText(unsigned major, unsigned minor, unsigned revision);

}  // namespace tessory::ui
