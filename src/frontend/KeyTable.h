#pragma once

#include <array>
#include <cstdint>

#include "frontend/VirtualKeys.h"

// The Tevrin's key matrix seen from the host keyboard: sixteen columns selected by PC0-PC3, six
// rows read on PB0-PB5. Each row of the table places one host key on one matrix position.
struct KeyTableRow {
    uint8_t virtualKey;
    uint8_t column;
    uint8_t mask;
};

namespace keytable {

// Matrix positions the keyboard scan itself refers to.
inline constexpr int kColumnLeft = 8, kColumnF = 6, kColumnK = 11;
inline constexpr uint8_t kMaskLeft = 0x01, kMaskLetterRow = 0x10;

inline constexpr std::array<KeyTableRow, 90> kRows = {{
    {vk::kSpace, 0, 0x01},       {vk::kEscape, 0, 0x02},      {vk::Numpad(0), 0, 0x04},
    {vk::Char('0'), 0, 0x08},    {vk::kOemPlus, 0, 0x10},     {vk::Char('P'), 0, 0x20},
    {vk::Function(2), 1, 0x01},  {vk::Function(1), 1, 0x02},  {vk::Numpad(1), 1, 0x04},
    {vk::Char('1'), 1, 0x08},    {vk::Char('A'), 1, 0x10},    {vk::Char('Q'), 1, 0x20},
    {vk::Function(4), 2, 0x01},  {vk::Function(3), 2, 0x02},  {vk::Numpad(2), 2, 0x04},
    {vk::Char('2'), 2, 0x08},    {vk::Char('B'), 2, 0x10},    {vk::Char('R'), 2, 0x20},
    {vk::Function(6), 3, 0x01},  {vk::Function(5), 3, 0x02},  {vk::Numpad(3), 3, 0x04},
    {vk::Char('3'), 3, 0x08},    {vk::Char('C'), 3, 0x10},    {vk::Char('S'), 3, 0x20},
    {vk::Function(8), 4, 0x01},  {vk::Function(7), 4, 0x02},  {vk::Numpad(4), 4, 0x04},
    {vk::Char('4'), 4, 0x08},    {vk::Char('D'), 4, 0x10},    {vk::Char('T'), 4, 0x20},
    {vk::Function(10), 5, 0x01}, {vk::Function(9), 5, 0x02},  {vk::Numpad(5), 5, 0x04},
    {vk::Char('5'), 5, 0x08},    {vk::Char('E'), 5, 0x10},    {vk::Char('U'), 5, 0x20},
    {vk::Function(12), 6, 0x01}, {vk::Function(11), 6, 0x02}, {vk::Numpad(6), 6, 0x04},
    {vk::Char('6'), 6, 0x08},    {vk::Char('F'), 6, 0x10},    {vk::Char('V'), 6, 0x20},
    {vk::Function(14), 7, 0x01}, {vk::Function(13), 7, 0x02}, {vk::Numpad(7), 7, 0x04},
    {vk::Char('7'), 7, 0x08},    {vk::Char('G'), 7, 0x10},    {vk::Char('W'), 7, 0x20},
    {vk::kLeft, 8, 0x01},        {vk::kRight, 8, 0x02},       {vk::Numpad(8), 8, 0x04},
    {vk::Char('8'), 8, 0x08},    {vk::Char('H'), 8, 0x10},    {vk::Char('X'), 8, 0x20},
    {vk::kTab, 9, 0x01},         {vk::kAdd, 9, 0x02},         {vk::Numpad(9), 9, 0x04},
    {vk::Char('9'), 9, 0x08},    {vk::Char('I'), 9, 0x10},    {vk::Char('Z'), 9, 0x20},
    {vk::kPrior, 10, 0x01},      {vk::kUp, 10, 0x02},         {vk::kOem7, 10, 0x08},
    {vk::Char('J'), 10, 0x10},   {vk::Char('Y'), 10, 0x20},   {vk::kDown, 11, 0x01},
    {vk::kCapital, 11, 0x02},    {vk::kOem1, 11, 0x08},       {vk::Char('K'), 11, 0x10},
    {vk::kOem4, 11, 0x20},       {vk::kMultiply, 12, 0x01},   {vk::kSubtract, 12, 0x02},
    {vk::kOemComma, 12, 0x08},   {vk::Char('L'), 12, 0x10},   {vk::kOem5, 12, 0x20},
    {vk::kReturn, 13, 0x01},     {vk::kHome, 13, 0x02},       {vk::kOemMinus, 13, 0x08},
    {vk::Char('M'), 13, 0x10},   {vk::kOem6, 13, 0x20},       {vk::kDivide, 14, 0x01},
    {vk::kApps, 14, 0x02},       {vk::kDecimal, 14, 0x04},    {vk::kOemPeriod, 14, 0x08},
    {vk::Char('N'), 14, 0x10},   {vk::kOem3, 14, 0x20},       {vk::kDelete, 15, 0x01},
    {vk::kNext, 15, 0x02},       {vk::kOem2, 15, 0x08},       {vk::Char('O'), 15, 0x10},
}};

}  // namespace keytable
