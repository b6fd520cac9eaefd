#include "import/biff_formula.h"

#include <cstring>
#include <vector>

namespace biff {

namespace {

// A value on the formula's stack. Numbers take part only as arguments (counts, IF's test).
struct Value {
    bool number = false;
    double count = 0;
    QString text;
};

class Tokens {
public:
    explicit Tokens(std::string_view bytes) : bytes_(bytes) {}

    bool done() const { return at_ >= bytes_.size(); }
    bool u8(uint8_t& value) {
        if (at_ + 1 > bytes_.size()) {
            return false;
        }
        value = uint8_t(bytes_[at_++]);
        return true;
    }
    bool u16(uint16_t& value) {
        uint8_t low = 0;
        uint8_t high = 0;
        if (!u8(low) || !u8(high)) {
            return false;
        }
        value = uint16_t(low | high << 8);
        return true;
    }
    bool f64(double& value) {
        if (at_ + 8 > bytes_.size()) {
            return false;
        }
        std::memcpy(&value, bytes_.data() + at_, 8);
        at_ += 8;
        return true;
    }
    // A constant's text: a count, a flags byte (bit 0: two bytes a character), the characters.
    bool text(QString& value) {
        uint8_t count = 0;
        uint8_t flags = 0;
        if (!u8(count) || !u8(flags)) {
            return false;
        }
        const size_t size = (flags & 0x01) ? size_t(count) * 2 : count;
        if (at_ + size > bytes_.size()) {
            return false;
        }
        const char* data = bytes_.data() + at_;
        if (flags & 0x01) {
            value.resize(count);
            for (int i = 0; i < count; ++i) {
                value[i] = QChar(char16_t(uint8_t(data[2 * i]) | uint8_t(data[2 * i + 1]) << 8));
            }
        } else {
            value = QString::fromLatin1(data, count);
        }
        at_ += size;
        return true;
    }
    bool skip(size_t count) {
        if (at_ + count > bytes_.size()) {
            return false;
        }
        at_ += count;
        return true;
    }

private:
    std::string_view bytes_;
    size_t at_ = 0;
};

QString Proper(const QString& text) {
    QString out = text.toLower();
    bool start = true;
    for (QChar& c : out) {
        if (c.isLetter()) {
            if (start) {
                c = c.toUpper();
            }
            start = false;
        } else {
            start = true;
        }
    }
    return out;
}

// Applies function `id` to `args`; false when it is not one we work out.
bool Call(uint16_t id, std::vector<Value>& args, Value& result) {
    auto count = [&args](size_t i, double otherwise) {
        return i < args.size() ? args[i].count : otherwise;
    };
    auto anyNumberText = [&args](size_t from) {
        for (size_t i = from; i < args.size(); ++i) {
            if (args[i].number) {
                return true;
            }
        }
        return false;
    };
    switch (id) {
        case 1:  // IF(test, then, else): only a truth value from a comparison decides
            if (args.size() < 2 || args.size() > 3 || !args[0].number) {
                return false;
            }
            result = args[0].count != 0 ? args[1] : args.size() == 3 ? args[2] : Value{true, 0, {}};
            return true;
        case 336:  // CONCATENATE
            if (anyNumberText(0)) {
                return false;
            }
            for (const Value& arg : args) {
                result.text += arg.text;
            }
            return true;
        case 113:  // UPPER
        case 112:  // LOWER
        case 114:  // PROPER
        case 118:  // TRIM
        case 130:  // T
            if (args.size() != 1 || (args[0].number && id != 130)) {
                return false;
            }
            result.text = args[0].number ? QString()
                          : id == 113    ? args[0].text.toUpper()
                          : id == 112    ? args[0].text.toLower()
                          : id == 114    ? Proper(args[0].text)
                          : id == 118    ? args[0].text.simplified()
                                         : args[0].text;
            return true;
        case 115:   // LEFT(text, count)
        case 116:   // RIGHT(text, count)
        case 31: {  // MID(text, start, count)
            const size_t wanted = id == 31 ? 3 : 2;
            if (args.empty() || args.size() > wanted || args[0].number ||
                (id == 31 && args.size() != 3)) {
                return false;
            }
            for (size_t i = 1; i < args.size(); ++i) {
                if (!args[i].number) {
                    return false;  // a count given as text
                }
            }
            const QString& text = args[0].text;
            if (id == 31) {
                const double start = count(1, 1);
                const double length = count(2, 0);
                if (start < 1 || length < 0) {
                    return false;
                }
                result.text =
                    text.mid(qsizetype(std::min(start - 1, 1e9)), qsizetype(std::min(length, 1e9)));
            } else {
                const double length = count(1, 1);
                if (length < 0) {
                    return false;
                }
                const qsizetype n = qsizetype(std::min(length, 1e9));
                result.text = id == 115 ? text.left(n) : text.right(n);
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

std::optional<QString> TextFormulaResult(std::string_view bytes, const CellText& cell) {
    // Tokens in reverse Polish order; a class bit pattern (0x20, 0x40, 0x60) marks the operand
    // tokens, whose class does not matter here.
    constexpr size_t kMostArguments = 255;
    std::vector<Value> stack;
    Tokens tokens(bytes);
    while (!tokens.done()) {
        uint8_t token = 0;
        if (!tokens.u8(token) || stack.size() > 1024) {
            return std::nullopt;
        }
        const uint8_t base = token >= 0x20 ? uint8_t((token & 0x1F) | 0x20) : token;
        switch (base) {
            case 0x17: {  // text constant
                Value value;
                if (!tokens.text(value.text)) {
                    return std::nullopt;
                }
                stack.push_back(std::move(value));
                break;
            }
            case 0x1E: {  // whole number
                uint16_t number = 0;
                if (!tokens.u16(number)) {
                    return std::nullopt;
                }
                stack.push_back({true, double(number), {}});
                break;
            }
            case 0x1F: {  // number
                double number = 0;
                if (!tokens.f64(number)) {
                    return std::nullopt;
                }
                stack.push_back({true, number, {}});
                break;
            }
            case 0x15:  // parentheses
                break;
            case 0x19: {  // attributes: IF's jumps and spaces leave the stack alone
                uint8_t kind = 0;
                uint16_t data = 0;
                if (!tokens.u8(kind) || !tokens.u16(data) || (kind & ~0x4B) != 0 ||
                    (kind & 0x04) != 0) {
                    return std::nullopt;  // CHOOSE's jump table, SUM's shortcut
                }
                break;
            }
            case 0x08:    // &
            case 0x0B:    // =
            case 0x0E: {  // <>
                if (stack.size() < 2) {
                    return std::nullopt;
                }
                Value right = std::move(stack.back());
                stack.pop_back();
                Value& left = stack.back();
                if (left.number || right.number) {
                    return std::nullopt;
                }
                if (base == 0x08) {
                    left.text += right.text;
                } else {
                    const bool equal = left.text.compare(right.text, Qt::CaseInsensitive) == 0;
                    left = {true, (equal == (base == 0x0B)) ? 1.0 : 0.0, {}};
                }
                break;
            }
            case 0x24: {  // reference to a cell of this sheet
                uint16_t row = 0;
                uint16_t column = 0;
                if (!tokens.u16(row) || !tokens.u16(column)) {
                    return std::nullopt;
                }
                const std::optional<QString> text = cell(row, column & 0x3FFF);
                if (!text) {
                    return std::nullopt;
                }
                stack.push_back({false, 0, *text});
                break;
            }
            case 0x21:    // function with a fixed count of arguments
            case 0x22: {  // function with a count of its own
                uint8_t argc = 1;
                uint16_t id = 0;
                if ((base == 0x22 && !tokens.u8(argc)) || !tokens.u16(id)) {
                    return std::nullopt;
                }
                argc &= 0x7F;
                if (base == 0x21 && id == 31) {
                    argc = 3;
                } else if (base == 0x21 && (id == 115 || id == 116)) {
                    argc = 2;
                }
                if (argc > kMostArguments || argc > stack.size() || (id & 0x8000) != 0) {
                    return std::nullopt;
                }
                std::vector<Value> args(std::make_move_iterator(stack.end() - argc),
                                        std::make_move_iterator(stack.end()));
                stack.resize(stack.size() - argc);
                Value result;
                if (!Call(id, args, result)) {
                    return std::nullopt;
                }
                stack.push_back(std::move(result));
                break;
            }
            default:
                return std::nullopt;
        }
    }
    if (stack.size() != 1 || stack.back().number) {
        return std::nullopt;
    }
    return stack.back().text;
}

}  // namespace biff
