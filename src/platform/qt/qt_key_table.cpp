#include "qt_key_table.h"

#include <Qt>

namespace kwp::qt {

namespace {

struct KeyPair {
    int qtKey;
    uint8_t virtualKey;
};

constexpr KeyPair kKeys[] = {
    {Qt::Key_Backspace, 0x08}, {Qt::Key_Tab, 0x09},     {Qt::Key_Backtab, 0x09},  {Qt::Key_Clear, 0x0C},
    {Qt::Key_Return, 0x0D},    {Qt::Key_Enter, 0x0D},   {Qt::Key_Pause, 0x13},    {Qt::Key_CapsLock, 0x14},
    {Qt::Key_Escape, 0x1B},    {Qt::Key_Space, 0x20},   {Qt::Key_PageUp, 0x21},   {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},       {Qt::Key_Home, 0x24},    {Qt::Key_Left, 0x25},     {Qt::Key_Up, 0x26},
    {Qt::Key_Right, 0x27},     {Qt::Key_Down, 0x28},    {Qt::Key_Select, 0x29},   {Qt::Key_Execute, 0x2B},
    {Qt::Key_Print, 0x2C},     {Qt::Key_Insert, 0x2D},  {Qt::Key_Delete, 0x2E},   {Qt::Key_Help, 0x2F},
    {Qt::Key_Menu, 0x5D},      {Qt::Key_NumLock, 0x90}, {Qt::Key_ScrollLock, 0x91},
    // Punctuation keys, plain and shifted (US layout).
    {Qt::Key_Semicolon, 0xBA}, {Qt::Key_Colon, 0xBA},   {Qt::Key_Equal, 0xBB},    {Qt::Key_Plus, 0xBB},
    {Qt::Key_Comma, 0xBC},     {Qt::Key_Less, 0xBC},    {Qt::Key_Minus, 0xBD},    {Qt::Key_Underscore, 0xBD},
    {Qt::Key_Period, 0xBE},    {Qt::Key_Greater, 0xBE}, {Qt::Key_Slash, 0xBF},    {Qt::Key_Question, 0xBF},
    {Qt::Key_QuoteLeft, 0xC0}, {Qt::Key_AsciiTilde, 0xC0}, {Qt::Key_BracketLeft, 0xDB}, {Qt::Key_BraceLeft, 0xDB},
    {Qt::Key_Backslash, 0xDC}, {Qt::Key_Bar, 0xDC},     {Qt::Key_BracketRight, 0xDD}, {Qt::Key_BraceRight, 0xDD},
    {Qt::Key_Apostrophe, 0xDE}, {Qt::Key_QuoteDbl, 0xDE},
    // Shifted digits.
    {Qt::Key_Exclam, '1'},     {Qt::Key_At, '2'},       {Qt::Key_NumberSign, '3'}, {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},    {Qt::Key_AsciiCircum, '6'}, {Qt::Key_Ampersand, '7'}, {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},  {Qt::Key_ParenRight, '0'},
};

constexpr KeyPair kKeypad[] = {
    {Qt::Key_Asterisk, 0x6A}, {Qt::Key_Plus, 0x6B}, {Qt::Key_Minus, 0x6D},
    {Qt::Key_Period, 0x6E},   {Qt::Key_Comma, 0x6E}, {Qt::Key_Slash, 0x6F},
};

}  // namespace

uint8_t VirtualKeyForQtKey(int key, bool keypad) {
    if (keypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) return uint8_t(0x60 + (key - Qt::Key_0));
        for (const KeyPair& k : kKeypad)
            if (k.qtKey == key) return k.virtualKey;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return uint8_t('0' + (key - Qt::Key_0));
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return uint8_t('A' + (key - Qt::Key_A));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return uint8_t(0x70 + (key - Qt::Key_F1));
    for (const KeyPair& k : kKeys)
        if (k.qtKey == key) return k.virtualKey;
    return 0;
}

}  // namespace kwp::qt
