#include "commands.h"

namespace tessory::ui {

MainCommand MainCommandForCaption(const std::string& caption) {
  if (caption == "Options") return MainCommand::Settings;
  if (caption == "Preview") return MainCommand::Preview;
  if (caption == "Save") return MainCommand::Save;
  if (caption == "Stop") return MainCommand::Stop;
  if (caption == "Open") return MainCommand::Open;
  return MainCommand::None;
}

PreviewCommand PreviewCommandForCaption(const std::string& caption) {
  if (caption == "Save") return PreviewCommand::Save;
  if (caption == "Print") return PreviewCommand::Print;
  if (caption == "Close") return PreviewCommand::Close;
  return PreviewCommand::None;
}

std::string CommandTail(const std::string& commandLine) {
  std::size_t i = 0;
  if (!commandLine.empty() && commandLine[0] == '"') {
    const auto close = commandLine.find('"', 1);
    i = close == std::string::npos ? commandLine.size() : close + 1;
  }
  while (i < commandLine.size() && commandLine[i] != ' ' && commandLine[i] != '\t') ++i;
  while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
  return commandLine.substr(i);
}

std::string FolderFromCommandTail(const std::string& tail) {
  const auto first = tail.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  const auto last = tail.find_last_not_of(" \t");
  std::string text = tail.substr(first, last - first + 1);
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
  return text;
}

std::string VersionText(unsigned major, unsigned minor, unsigned revision) {
  return "Version " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(revision);
}

}  // namespace tessory::ui
