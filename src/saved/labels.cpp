#include "saved/labels.h"

namespace kv {

namespace {

// Korvane's own key of the user (or of the machine, for all users): where it
// notes the labels it wrote.
constexpr char kProgramKey[] = "Software\\Korvane";

// Where a letter's label lives, and the note of what Korvane wrote there.
struct LabelPlace {
    RegistryRoot root;
    std::string labelKey;  // its default value is the label
    std::string parentKey; // emptied keys below it are removed, never it
    std::string noteKey;   // a value per letter: the label Korvane wrote
};

// Explorer is 64-bit on 64-bit Windows; both keys are among those the 32-bit
// and 64-bit registry views share, so it reads what this program writes.
LabelPlace PlaceOf(const std::string& drive, LabelScope scope) {
    const std::string letter = drive.substr(0, 1);
    if (scope == LabelScope::AllUsers) {
        const std::string icons = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons";
        return {RegistryRoot::LocalMachine, icons + "\\" + letter + "\\DefaultLabel", icons,
                std::string(kProgramKey) + "\\Labels"};
    }
    const std::string drives = "Software\\Classes\\Applications\\Explorer.exe\\Drives";
    return {RegistryRoot::CurrentUser, drives + "\\" + letter + "\\DefaultLabel", drives,
            std::string(kProgramKey) + "\\Labels"};
}

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// C0 and C1 controls and DEL, and the line and paragraph separators: a name
// that breaks lines or shows as boxes in Explorer.
bool IsControlAt(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t at) { return at < text.size() ? static_cast<unsigned char>(text[at]) : 0u; };
    return byte(i) < 0x20 || byte(i) == 0x7F || (byte(i) == 0xC2 && byte(i + 1) >= 0x80 && byte(i + 1) <= 0x9F) ||
           (byte(i) == 0xE2 && byte(i + 1) == 0x80 && (byte(i + 2) == 0xA8 || byte(i + 2) == 0xA9));
}

// A character beyond the basic plane takes four UTF-8 bytes and two UTF-16 units.
std::size_t WindowsLength(const std::string& text) {
    std::size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        units += IsContinuationByte(byte) ? 0 : byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

std::optional<std::string> RemoveLabel(Os& os, const std::string& drive, const LabelPlace& place) {
    if (const auto why = os.DeleteRegistryValueAndEmptyKeys(place.root, place.labelKey, "", place.parentKey))
        return why;
    os.NotifyDriveRenamed(drive);
    return std::nullopt;
}

std::optional<std::string> RemoveNote(Os& os, const std::string& drive, const LabelPlace& place) {
    return os.DeleteRegistryValueAndEmptyKeys(place.root, place.noteKey, drive.substr(0, 1), kProgramKey);
}

} // namespace

std::string LabelText(const std::string& typed) {
    const std::size_t first = typed.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : typed.substr(first, typed.find_last_not_of(' ') - first + 1);
}

std::optional<std::string> LabelRefusal(const std::string& label) {
    for (std::size_t i = 0; i < label.size(); ++i)
        if (IsControlAt(label, i))
            return std::string("it holds a control character, such as a tab or a line break, which Explorer "
                               "cannot show in a name");
    if (WindowsLength(label) > kLabelMaxChars)
        return "it is longer than " + std::to_string(kLabelMaxChars) + " characters";
    return std::nullopt;
}

std::string DriveLabel(Os& os, const std::string& drive, LabelScope scope) {
    const LabelPlace place = PlaceOf(drive, scope);
    return os.ReadRegistryText(place.root, place.labelKey, "").value_or(std::string());
}

// The note goes last: a label Korvane could not note would be one it never
// takes away, so it is taken back at once and the user hears why.
std::optional<std::string> SetDriveLabel(Os& os, const std::string& drive, const std::string& typed, LabelScope scope) {
    const std::string label = LabelText(typed);
    if (auto why = LabelRefusal(label))
        return why;
    const LabelPlace place = PlaceOf(drive, scope);
    if (label.empty()) {
        const auto why = RemoveLabel(os, drive, place);
        return why ? why : RemoveNote(os, drive, place);
    }
    if (auto why = os.SetRegistryText(place.root, place.labelKey, "", label))
        return why;
    if (auto why = os.SetRegistryText(place.root, place.noteKey, drive.substr(0, 1), label)) {
        os.DeleteRegistryValueAndEmptyKeys(place.root, place.labelKey, "", place.parentKey);
        return why;
    }
    os.NotifyDriveRenamed(drive);
    return std::nullopt;
}

std::optional<std::string> ForgetDriveLabel(Os& os, const std::string& drive, LabelScope scope) {
    const LabelPlace place = PlaceOf(drive, scope);
    const auto written = os.ReadRegistryText(place.root, place.noteKey, drive.substr(0, 1));
    if (!written)
        return std::nullopt;
    if (os.ReadRegistryText(place.root, place.labelKey, "") == written)
        if (auto why = RemoveLabel(os, drive, place))
            return why;
    return RemoveNote(os, drive, place);
}

} // namespace kv
