#include "cli_options.h"

#include "settings/setting_keys.h"

namespace tessory {

const char kCliUsage[] =
    "Usage: tessory [options] FOLDER\n"
    "Writes an HTML listing of FOLDER, built with the settings in $XDG_CONFIG_HOME/Ombrel.ini.\n"
    "\n"
    "Options:\n"
    "  -o, --output FILE        write the listing to FILE (default: standard output)\n"
    "  --format html|csv|json   the listing as an HTML document (default), CSV rows or JSON\n"
    "  --compare OLD.json       report what changed in FOLDER since the JSON listing OLD.json,\n"
    "                           in the form --format gives; exit 0 unchanged, 1 changed, 2 trouble\n"
    "  --guard-formulas         CSV: a cell that starts with = + - @ (or a tab or CR) gets a\n"
    "                           leading ', so that a spreadsheet shows it instead of running it\n"
    "  --set Section.Key=Value  use Value for one setting in this run only (repeatable),\n"
    "                           e.g. --set Output.Recurse=No --set Display.Attrib=1\n"
    "  -q, --quiet              no progress line on standard error\n"
    "  -h, --help               show this help\n"
    "  --version                show the version\n"
    "\n"
    "Exit codes: 0 listing written; 1 the listing could not be written; 2 bad command line;\n"
    "3 FOLDER is not a folder (with --compare: 2); 130 interrupted (Ctrl-C, SIGTERM, SIGHUP),\n"
    "no listing written.\n";

namespace {

bool ParseOverride(const std::string& text, SettingOverride& result, std::string& error) {
    size_t dot = text.find('.');
    size_t eq = text.find('=');
    if (dot == std::string::npos || eq == std::string::npos || dot > eq) {
        error = "--set expects Section.Key=Value, got \"" + text + "\"";
        return false;
    }
    std::string section = text.substr(0, dot);
    std::string name = text.substr(dot + 1, eq - dot - 1);
    const SettingKey* key = FindSettingKey(section, name);
    if (!key) {
        error = "unknown setting \"" + section + "." + name + "\"";
        return false;
    }
    result = SettingOverride{key->section, key->name, text.substr(eq + 1)};
    return true;
}

}  // namespace

bool ParseCliOptions(const std::vector<std::string>& args, CliOptions& options, std::string& error) {
    bool onlyOperands = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& target) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            target = args[++i];
            return true;
        };
        if (!onlyOperands && arg == "--") {
            onlyOperands = true;
        } else if (!onlyOperands && (arg == "-h" || arg == "--help")) {
            options.help = true;
        } else if (!onlyOperands && arg == "--version") {
            options.version = true;
        } else if (!onlyOperands && (arg == "-q" || arg == "--quiet")) {
            options.quiet = true;
        } else if (!onlyOperands && (arg == "-o" || arg == "--output")) {
            if (!value(options.output)) return false;
            if (options.output.empty()) {
                error = arg + " needs a file name";
                return false;
            }
        } else if (!onlyOperands && arg == "--format") {
            if (!value(options.format)) return false;
            if (options.format != "html" && options.format != "csv" && options.format != "json") {
                error = "--format expects html, csv or json, got \"" + options.format + "\"";
                return false;
            }
        } else if (!onlyOperands && arg == "--compare") {
            if (!value(options.compareWith)) return false;
            if (options.compareWith.empty()) {
                error = arg + " needs a file name";
                return false;
            }
        } else if (!onlyOperands && arg == "--guard-formulas") {
            options.guardFormulas = true;
        } else if (!onlyOperands && arg == "--set") {
            std::string text;
            SettingOverride setting;
            if (!value(text) || !ParseOverride(text, setting, error)) return false;
            options.overrides.push_back(setting);
        } else if (!onlyOperands && arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (options.folder.empty()) {
            options.folder = arg;
        } else {
            error = "only one FOLDER may be given";
            return false;
        }
    }
    if (!options.help && !options.version && options.folder.empty()) {
        error = "no FOLDER given";
        return false;
    }
    return true;
}

}  // namespace tessory
