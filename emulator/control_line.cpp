// One parser for the control lines of both modes: a word, in a fleet a repeater's number, and arguments.
#include "emulator/control_line.h"

#include <array>
#include <utility>

#include "emulator/alarm_script.h"
#include "emulator/command_line.h"
#include "platform/number_text.h"

namespace tavrel::emulator {
namespace {

std::string_view trimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Splits off the first space-separated word; `rest` starts after the one space that ends it.
std::string_view takeWord(std::string_view& rest) {
    rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
    const auto space = rest.find(' ');
    const std::string_view word = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view{} : rest.substr(space + 1);
    return word;
}

std::string unescape(std::string_view text) {
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == '\\')) {
            result += text[i + 1] == 'n' ? '\n' : '\\';
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

// "all" is 0; a repeater's number is 1 to kMaxFleet.
bool parseMember(std::string_view text, int& member) {
    if (text == "all") {
        member = 0;
        return true;
    }
    const auto number = parseWhole<int>(text);
    if (!number || *number < 1 || *number > kMaxFleet)
        return false;
    member = *number;
    return true;
}

constexpr std::array<std::pair<std::string_view, ControlKind>, 7> kWordsWithoutArguments{{
    {"air", ControlKind::Air},
    {"off", ControlKind::Off},
    {"on", ControlKind::On},
    {"reboot", ControlKind::Reboot},
    {"drop", ControlKind::Drop},
    {"stats", ControlKind::Stats},
    {"quit", ControlKind::Quit},
}};

} // namespace

ControlLine parseControlLine(std::string_view line, bool fleet) {
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    ControlLine control;
    control.member = fleet ? 0 : 1; // a fleet's stats, quit and help are about all of it
    std::string_view rest = line;
    const std::string_view word = takeWord(rest);
    if (word.empty()) {
        control.kind = ControlKind::Empty;
        return control;
    }
    const bool namesRepeater = fleet && word != "stats" && word != "quit" && word != "help";
    if (namesRepeater && !parseMember(takeWord(rest), control.member))
        return control;
    if (word == "log") {
        control.kind = ControlKind::Log;
        control.text = unescape(rest);
        return control;
    }
    rest = trimSpaces(rest);
    if (word == "alarm") {
        if (const auto bits = parseAlarmBits(rest)) {
            control.kind = ControlKind::Alarm;
            control.alarmBits = *bits;
        }
        return control;
    }
    if (!rest.empty())
        return control;
    if (word == "help")
        control.kind = ControlKind::Help;
    for (const auto& [name, kind] : kWordsWithoutArguments)
        if (word == name)
            control.kind = kind;
    return control;
}

std::string controlHelpText() {
    return "Control lines on standard input:\n"
           "  alarm N    report alarm bits N from now on\n"
           "  log TEXT   send TEXT as one log datagram (\\n makes a line break)\n"
           "  air        send one air-log record now\n"
           "  reboot     reboot as on REBOOTREPEATER\n"
           "  drop       close the monitor's connection\n"
           "  off        switch off: the port and the connection close, nothing is sent\n"
           "  on         switch on again\n"
           "  stats      print whether it is on and connected, connections, lines sent\n"
           "  quit       end the program\n"
           "  help       list these lines\n";
}

std::string fleetControlHelpText() {
    return "Control lines in fleet mode (I: a repeater's number from 1, or all):\n"
           "  alarm I N  repeater I reports alarm bits N from now on\n"
           "  log I TEXT repeater I sends TEXT as one log datagram\n"
           "  air I      repeater I sends one air-log record now\n"
           "  off I      switch repeater I off: its port and connection close, it sends nothing\n"
           "  on I       switch repeater I on again\n"
           "  reboot I   reboot repeater I as on REBOOTREPEATER\n"
           "  drop I     close repeater I's monitor connection\n"
           "  stats      print how many are on and connected, lines sent, busiest millisecond of accepts\n"
           "  quit       end the program\n";
}

} // namespace tavrel::emulator
