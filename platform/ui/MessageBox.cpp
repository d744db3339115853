#include "platform/ui/MessageBox.h"

#include "platform/ui/String.h"
#include "platform/ui/WinApp.h"
#include "platform/winapi/Prompter.h"

#include <algorithm>
#include <cstdio>

namespace {

const char* AppCaption() {
    CWinApp* app = AfxGetApp();
    return app != nullptr && app->GetAppName()[0] != '\0' ? app->GetAppName() : "KELNT";
}

std::string NumberText(int64_t value, char conversion, bool isLong) {
    char buffer[32];
    if (conversion == 'd' || conversion == 'i') {
        std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
    } else {
        // Unsigned conversions read the value as the platform's 32-bit word unless a length letter widens it.
        unsigned long long bits = isLong ? static_cast<unsigned long long>(value)
                                         : static_cast<uint32_t>(static_cast<uint64_t>(value));
        std::snprintf(buffer, sizeof buffer,
                      conversion == 'u' ? "%llu" : (conversion == 'x' ? "%llx" : "%llX"), bits);
    }
    return buffer;
}

} // namespace

std::string FormatResourceText(std::string_view format, std::initializer_list<FormatArg> args) {
    std::string out;
    auto next = args.begin();
    size_t i = 0;
    while (i < format.size()) {
        char c = format[i++];
        if (c != '%') {
            out += c;
            continue;
        }
        size_t start = i - 1;
        std::string flags;
        while (i < format.size() && std::string_view("-+ #0").find(format[i]) != std::string_view::npos) {
            flags += format[i++];
        }
        int width = 0;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
            width = std::min(width * 10 + (format[i++] - '0'), 4096);
        }
        bool isLong = false;
        while (i < format.size() && (format[i] == 'l' || format[i] == 'h')) {
            isLong = isLong || format[i] == 'l';
            ++i;
        }
        if (i >= format.size()) {
            out.append(format.substr(start));
            break;
        }
        char conversion = format[i++];
        std::string piece;
        if (conversion == '%') {
            out += '%';
            continue;
        }
        if (std::string_view("sdiuxX").find(conversion) == std::string_view::npos) {
            out.append(format.substr(start, i - start)); // unknown conversions stand as written
            continue;
        }
        if (next != args.end()) {
            const FormatArg& arg = *next++;
            if (const auto* text = std::get_if<std::string_view>(&arg)) {
                piece = std::string(*text);
            } else {
                int64_t value = std::get<int64_t>(arg);
                piece = conversion == 's' ? std::to_string(value) : NumberText(value, conversion, isLong);
            }
        }
        if (static_cast<int>(piece.size()) < width) {
            std::string pad(static_cast<size_t>(width) - piece.size(), ' ');
            piece = flags.find('-') != std::string::npos ? piece + pad : pad + piece;
        }
        out += piece;
    }
    return out;
}

int AfxMessageBox(UINT id, UINT type, UINT /*helpId*/) {
    CString text;
    text.LoadString(id);
    return PrompterShowMessage(static_cast<int>(id), text, AppCaption(), type);
}

int AfxMessageBox(LPCSTR text, UINT type, UINT /*helpId*/) {
    return MessageBoxA(nullptr, text ? text : "", AppCaption(), type);
}

int ResourceMessageBox(HWND /*owner*/, UINT textId, UINT captionId, UINT type) {
    CString text;
    CString caption;
    text.LoadString(textId);
    caption.LoadString(captionId);
    return PrompterShowMessage(static_cast<int>(textId), text, caption, type);
}

int FormatMessageBox(UINT formatId, UINT type, std::initializer_list<FormatArg> args) {
    CString format;
    format.LoadString(formatId);
    std::string text = FormatResourceText(format.Str(), args);
    return PrompterShowMessage(static_cast<int>(formatId), text.c_str(), AppCaption(), type);
}

HWND GetFocus() {
    return nullptr;
}
