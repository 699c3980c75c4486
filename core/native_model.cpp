#include "core/native_model.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <string_view>

#include "core/native_code.h"
#include "core/script_tokens.h"

namespace kalvora {
namespace {

// The interpreter's own definitions of the math library's constants and of its degree
// conversions, so that the values are the same doubles.
constexpr double kPi = 3.14159265358979323846;
constexpr double kRadiansPerDegree = kPi / 180.0;

// Registers beyond this make the program not worth having (and keep indices small).
constexpr std::uint32_t kRegisterLimit = 1 << 16;

enum class TokenKind { Name, Keyword, Number, Symbol, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string_view text;
    double number = 0;
};

constexpr std::array<std::string_view, 21> kKeywords = {
    "and",   "break", "do",  "else", "elseif", "end",    "false", "for",  "function", "if",   "in",
    "local", "nil",   "not", "or",   "repeat", "return", "then",  "true", "until",    "while"};

// The script's tokens, with the keywords told from the names and the numerals converted; false
// for anything the program does not cover, hexadecimal numerals included.
bool Tokenize(std::string_view text, std::vector<Token>& tokens) {
    std::vector<ScriptToken> lexed;
    if (!TokenizeArithmetic(text, lexed)) {
        return false;
    }
    for (const ScriptToken& token : lexed) {
        switch (token.kind) {
            case ScriptTokenKind::Name: {
                const bool keyword =
                    std::find(kKeywords.begin(), kKeywords.end(), token.text) != kKeywords.end();
                tokens.push_back({keyword ? TokenKind::Keyword : TokenKind::Name, token.text, 0});
                break;
            }
            case ScriptTokenKind::Number: {
                const std::string_view numeral = token.text;
                if (numeral.find_first_of("xX") != std::string_view::npos) {
                    return false;
                }
                // Correctly rounded, as the interpreter's strtod, and free of the locale.
                double value = 0;
                const auto [end, error] =
                    std::from_chars(numeral.data(), numeral.data() + numeral.size(), value);
                if (error != std::errc{} || end != numeral.data() + numeral.size()) {
                    return false;
                }
                tokens.push_back({TokenKind::Number, numeral, value});
                break;
            }
            case ScriptTokenKind::Symbol:
                tokens.push_back({TokenKind::Symbol, token.text, 0});
                break;
            case ScriptTokenKind::String:
                return false;  // the arithmetic lexer gives none
        }
    }
    tokens.push_back({TokenKind::End, {}, 0});
    return true;
}

// Thrown out of the compiler when the script leaves what the program covers.
struct NotCovered {};

enum class NodeKind { Number, Variable, Unary, Binary, Call, MinMax, Compare, And, Or, Not };

struct Node {
    NodeKind kind = NodeKind::Number;
    double value = 0;
    std::uint32_t reg = 0;
    // + - * / % ^ for arithmetic; < l (<=) g (>) G (>=) = (==) ! (~=) for comparisons; n (min)
    // and x (max).
    char op = 0;
    int left = -1;
    int right = -1;
    std::vector<int> arguments{};
    double (*unary)(double) = nullptr;
    double (*binary)(double, double) = nullptr;
    // A numeral, or arithmetic on numerals folded into one: what the interpreter folds further.
    // math.pi and math.huge are numbers too, but the interpreter reads them from the table at run
    // time.
    bool numeral = false;
    int depth = 1;
    bool boolean() const {
        return kind == NodeKind::Compare || kind == NodeKind::And || kind == NodeKind::Or ||
               kind == NodeKind::Not;
    }
};

Node Numeral(double value) {
    Node node;
    node.value = value;
    node.numeral = true;
    return node;
}

struct MathFunction {
    std::string_view name;
    double (*unary)(double);
    double (*binary)(double, double);
};

// The math library's functions of their arguments alone, as the interpreter's library computes
// them (math.log takes one argument; min and max are handled apart).
const std::array<MathFunction, 20> kMathFunctions = {{
    {"abs", [](double x) { return std::fabs(x); }, nullptr},
    {"acos", [](double x) { return std::acos(x); }, nullptr},
    {"asin", [](double x) { return std::asin(x); }, nullptr},
    {"atan", [](double x) { return std::atan(x); }, nullptr},
    {"ceil", [](double x) { return std::ceil(x); }, nullptr},
    {"cos", [](double x) { return std::cos(x); }, nullptr},
    {"cosh", [](double x) { return std::cosh(x); }, nullptr},
    {"deg", [](double x) { return x / kRadiansPerDegree; }, nullptr},
    {"exp", [](double x) { return std::exp(x); }, nullptr},
    {"floor", [](double x) { return std::floor(x); }, nullptr},
    {"log", [](double x) { return std::log(x); }, nullptr},
    {"log10", [](double x) { return std::log10(x); }, nullptr},
    {"rad", [](double x) { return x * kRadiansPerDegree; }, nullptr},
    {"sin", [](double x) { return std::sin(x); }, nullptr},
    {"sinh", [](double x) { return std::sinh(x); }, nullptr},
    {"sqrt", [](double x) { return std::sqrt(x); }, nullptr},
    {"tan", [](double x) { return std::tan(x); }, nullptr},
    {"tanh", [](double x) { return std::tanh(x); }, nullptr},
    {"atan2", nullptr, [](double y, double x) { return std::atan2(y, x); }},
    {"fmod", nullptr, [](double x, double y) { return std::fmod(x, y); }},
}};

double Power(double x, double y) {
    return std::pow(x, y);
}

// The interpreter's modulo.
double Modulo(double a, double b) {
    return a - std::floor(a / b) * b;
}

double Arithmetic(char op, double a, double b) {
    switch (op) {
        case '+':
            return a + b;
        case '-':
            return a - b;
        case '*':
            return a * b;
        case '/':
            return a / b;
        case '%':
            return Modulo(a, b);
        default:
            return Power(a, b);
    }
}

}  // namespace

class NativeModelCompiler {
  public:
    explicit NativeModelCompiler(NativeModel& model) : model_(model) {}

    void compile(std::string_view script) {
        if (!Tokenize(script, tokens_)) {
            throw NotCovered{};
        }
        expect("function");
        expect("model");
        expect("(");
        scopes_.emplace_back();
        if (!accept(")")) {
            do {
                const std::string_view name = name_();
                if (scopes_.back().count(name) != 0) {
                    throw NotCovered{};
                }
                const std::uint32_t reg = newRegister();
                scopes_.back()[name] = reg;
                assigned_[reg] = true;
            } while (accept(","));
            expect(")");
        }
        model_.argumentCount_ = static_cast<int>(registers_);
        block();
        expect("return");
        if (!at("end") && !at(";")) {
            for (const int value : expressionList()) {
                std::uint32_t reg = valueRegister(value);
                // A constant returned as it is was neither made nor received, so nothing checks
                // it: math.huge must leave through a move, which fails as the interpreter's
                // step with an infinite result does.
                if (const Node& node = nodes_[value];
                    node.kind == NodeKind::Number && !std::isfinite(node.value)) {
                    const std::uint32_t moved = newRegister();
                    emitMove(moved, reg);
                    reg = moved;
                }
                model_.results_.push_back(reg);
            }
        }
        accept(";");
        expect("end");
        if (peek().kind != TokenKind::End) {
            throw NotCovered{};
        }
        emit({NativeModel::Op::End});
        model_.stateless_ = globals_.empty();
        if (uncertainRead_) {
            throw NotCovered{};
        }
        for (const auto& [value, reg] : constants_) {
            model_.constants_.emplace_back(reg, value);
        }
        model_.registerCount_ = static_cast<int>(registers_);
    }

  private:
    using Op = NativeModel::Op;
    using Scope = std::map<std::string_view, std::uint32_t>;

    // Tokens.
    const Token& peek(std::size_t ahead = 0) const {
        return tokens_[std::min(position_ + ahead, tokens_.size() - 1)];
    }
    bool at(std::string_view text) const {
        const Token& token = peek();
        return token.kind != TokenKind::Name && token.kind != TokenKind::Number &&
               token.text == text;
    }
    bool accept(std::string_view text) {
        if (at(text)) {
            ++position_;
            return true;
        }
        return false;
    }
    void expect(std::string_view text) {
        if (text == "model" ? !(peek().kind == TokenKind::Name && peek().text == text)
                            : !at(text)) {
            throw NotCovered{};
        }
        ++position_;
    }
    std::string_view name_() {
        if (peek().kind != TokenKind::Name) {
            throw NotCovered{};
        }
        return tokens_[position_++].text;
    }

    // Registers and names.
    std::uint32_t newRegister() {
        if (registers_ >= kRegisterLimit) {
            throw NotCovered{};
        }
        assigned_.push_back(false);
        return registers_++;
    }
    std::optional<std::uint32_t> lookUp(std::string_view name) const {
        for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
            if (const auto found = scope->find(name); found != scope->end()) {
                return found->second;
            }
        }
        if (const auto found = globals_.find(name); found != globals_.end()) {
            return found->second;
        }
        return std::nullopt;
    }
    // A name read: only a value certainly assigned on every way to this point is a number.
    // A name that may be nil here is left to the interpreter, which decides what reading it does
    // (an error, or a global the state holds): the program cannot run such a model. Reading goes
    // on, because the same reading also tells whether the statements keep any state.
    std::uint32_t read(std::string_view name) {
        const auto reg = lookUp(name);
        if (reg && assigned_[*reg]) {
            return *reg;
        }
        uncertainRead_ = true;
        return reg ? *reg : newRegister();
    }
    // The register an assignment to name writes. A global is the model's own only when nothing
    // else could read it: not the model function, not the math library.
    std::uint32_t target(std::string_view name) {
        if (const auto reg = lookUp(name)) {
            return *reg;
        }
        if (name == "model" || name == "math") {
            throw NotCovered{};
        }
        const std::uint32_t reg = newRegister();
        globals_[name] = reg;
        return reg;
    }
    // The interpreter keeps one constant per value, and 0 and -0 are the same value to it: the
    // zero it meets first stands for both. So do the constants here.
    std::uint32_t constant(double value) {
        if (const auto found = constants_.find(value); found != constants_.end()) {
            return found->second;
        }
        const std::uint32_t reg = newRegister();
        assigned_[reg] = true;
        constants_.emplace(value, reg);
        return reg;
    }

    // Statements.
    void block() {
        while (true) {
            if (accept(";")) {
                continue;
            }
            if (at("local")) {
                localStatement();
            } else if (at("if")) {
                ifStatement();
            } else if (peek().kind == TokenKind::Name) {
                assignment();
            } else {
                return;
            }
        }
    }

    void localStatement() {
        expect("local");
        std::vector<std::string_view> names;
        do {
            names.push_back(name_());
        } while (accept(","));
        if (!accept("=")) {
            // Declared without values: nil until assigned, so not to be read before.
            for (const std::string_view name : names) {
                scopes_.back()[name] = newRegister();
            }
            return;
        }
        const std::vector<int> values = expressionList();
        // Every name gets a value: a local left nil is not a number.
        if (values.size() < names.size()) {
            throw NotCovered{};
        }
        // The new locals are visible only after the statement, so each value can be computed
        // straight into its local's register; values beyond the names are computed and dropped.
        std::vector<std::uint32_t> locals;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i < names.size()) {
                locals.push_back(newRegister());
                generate(values[i], locals.back());
            } else {
                valueRegister(values[i]);
            }
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            assigned_[locals[i]] = true;
            scopes_.back()[names[i]] = locals[i];
        }
    }

    void assignment() {
        std::vector<std::string_view> names;
        do {
            names.push_back(name_());
        } while (accept(","));
        expect("=");
        const std::vector<int> values = expressionList();
        if (values.size() < names.size()) {
            throw NotCovered{};
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (names[i] == names[j]) {
                    throw NotCovered{};  // which one wins is not defined
                }
            }
        }
        if (names.size() == 1 && values.size() == 1) {
            const std::uint32_t reg = target(names[0]);
            generate(values[0], reg);
            assigned_[reg] = true;
            return;
        }
        // Every value is computed before any name is assigned.
        std::vector<std::uint32_t> computed;
        for (const int value : values) {
            const std::uint32_t reg = newRegister();
            generate(value, reg);
            computed.push_back(reg);
        }
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::uint32_t reg = target(names[i]);
            emitMove(reg, computed[i]);
            assigned_[reg] = true;
        }
    }

    void ifStatement() {
        expect("if");
        const std::vector<bool> before = assigned_;
        std::vector<bool> after;
        bool first = true;
        std::vector<std::size_t> toEnd;
        bool sawElse = false;
        while (true) {
            // Every condition is reached only through the conditions before it, none of whose
            // branches ran: it reads what held before the statement, not what a branch assigned.
            assigned_ = before;
            assigned_.resize(registers_, false);
            const int condition = expression();
            if (!nodes_[condition].boolean()) {
                throw NotCovered{};
            }
            expect("then");
            std::vector<std::size_t> toNext;
            jump(condition, false, toNext);
            branch(before, after, first);
            if (at("elseif") || at("else")) {
                toEnd.push_back(emit({Op::Jump}));
            }
            place(toNext);
            if (accept("elseif")) {
                continue;
            }
            if (accept("else")) {
                branch(before, after, first);
                sawElse = true;
            }
            expect("end");
            break;
        }
        place(toEnd);
        if (!sawElse) {
            merge(after, before, first);
        }
        // Registers made inside the branches are not certainly assigned after the statement.
        after.resize(assigned_.size(), false);
        assigned_ = after;
    }

    // One branch's block in a scope of its own, starting from what was assigned before the
    // statement; what it leaves assigned is merged into after.
    void branch(const std::vector<bool>& before, std::vector<bool>& after, bool& first) {
        assigned_ = before;
        assigned_.resize(registers_, false);
        scopes_.emplace_back();
        block();
        scopes_.pop_back();
        merge(after, assigned_, first);
    }
    static void merge(std::vector<bool>& after, const std::vector<bool>& branch, bool& first) {
        if (first) {
            after = branch;
            first = false;
            return;
        }
        after.resize(std::max(after.size(), branch.size()), false);
        for (std::size_t i = 0; i < after.size(); ++i) {
            after[i] = after[i] && i < branch.size() && branch[i];
        }
    }

    // Expressions, parsed with the interpreter's priorities.
    std::vector<int> expressionList() {
        std::vector<int> values;
        do {
            values.push_back(expression());
        } while (accept(","));
        return values;
    }

    struct Priority {
        int left;
        int right;
    };
    static constexpr int kUnaryPriority = 8;

    std::optional<Priority> binaryPriority(const Token& token) const {
        if (token.kind == TokenKind::Keyword) {
            if (token.text == "and") {
                return Priority{2, 2};
            }
            if (token.text == "or") {
                return Priority{1, 1};
            }
            return std::nullopt;
        }
        if (token.kind != TokenKind::Symbol) {
            return std::nullopt;
        }
        const std::string_view t = token.text;
        if (t == "+" || t == "-") {
            return Priority{6, 6};
        }
        if (t == "*" || t == "/" || t == "%") {
            return Priority{7, 7};
        }
        if (t == "^") {
            return Priority{10, 9};
        }
        if (t == "==" || t == "~=" || t == "<" || t == "<=" || t == ">" || t == ">=") {
            return Priority{3, 3};
        }
        return std::nullopt;
    }

    int expression(int limit = 0) {
        // The interpreter refuses deeper nesting too; the limit keeps the recursion off the end
        // of the stack whatever text it is given.
        struct Depth {
            int& depth;
            explicit Depth(int& d) : depth(d) {
                if (++depth > kNestingLimit) {
                    throw NotCovered{};
                }
            }
            ~Depth() { --depth; }
        } depth(depth_);
        int left = 0;
        if (accept("-")) {
            left = unary('-', expression(kUnaryPriority));
        } else if (accept("not")) {
            const int operand = expression(kUnaryPriority);
            if (!nodes_[operand].boolean()) {
                throw NotCovered{};
            }
            left = add({NodeKind::Not, 0, 0, 0, operand});
        } else {
            left = simple();
        }
        while (true) {
            const auto priority = binaryPriority(peek());
            if (!priority || priority->left <= limit) {
                return left;
            }
            const std::string_view op = tokens_[position_++].text;
            const int right = expression(priority->right);
            left = binary(op, left, right);
        }
    }

    int simple() {
        const Token& token = peek();
        if (token.kind == TokenKind::Number) {
            ++position_;
            return add(Numeral(token.number));
        }
        if (accept("(")) {
            const int inner = expression();
            expect(")");
            return inner;
        }
        const std::string_view name = name_();
        if (name == "math" && !lookUp(name)) {
            expect(".");
            return mathField(name_());
        }
        if (at("(") || at(".")) {
            throw NotCovered{};
        }
        Node node{NodeKind::Variable};
        node.reg = read(name);
        return add(node);
    }

    int mathField(std::string_view field) {
        if (field == "pi" || field == "huge") {
            if (at("(")) {
                throw NotCovered{};
            }
            return add({NodeKind::Number, field == "pi" ? kPi : HUGE_VAL});
        }
        expect("(");
        std::vector<int> arguments;
        if (!at(")")) {
            arguments = expressionList();
        }
        expect(")");
        for (const int argument : arguments) {
            if (nodes_[argument].boolean()) {
                throw NotCovered{};
            }
        }
        if (field == "min" || field == "max") {
            if (arguments.empty()) {
                throw NotCovered{};
            }
            Node node{NodeKind::MinMax};
            node.op = field == "min" ? 'n' : 'x';
            node.arguments = arguments;
            return add(node);
        }
        const auto function = std::find_if(kMathFunctions.begin(), kMathFunctions.end(),
                                           [&](const MathFunction& f) { return f.name == field; });
        const std::size_t wanted = function == kMathFunctions.end() ? 0
                                   : function->unary != nullptr     ? 1
                                                                    : 2;
        if (field == "pow" ? arguments.size() != 2 : wanted == 0 || arguments.size() != wanted) {
            throw NotCovered{};
        }
        Node node{NodeKind::Call};
        node.unary = field == "pow" ? nullptr : function->unary;
        node.binary = field == "pow" ? &Power : function->binary;
        node.arguments = arguments;
        return add(node);
    }

    // The interpreter folds arithmetic on two numerals while it compiles, exactly in these cases
    // (never a division or modulo by zero, never a result that is not a number): which numbers
    // it keeps as constants decides the sign of a zero (below), and a folded overflow raises no
    // fault when the model runs.
    int unary(char op, int operand) {
        if (nodes_[operand].boolean()) {
            throw NotCovered{};
        }
        if (nodes_[operand].numeral) {
            const double folded = -nodes_[operand].value;
            if (!std::isnan(folded)) {
                return add(Numeral(folded));
            }
        }
        return add({NodeKind::Unary, 0, 0, op, operand});
    }

    int binary(std::string_view op, int left, int right) {
        if (op == "and" || op == "or") {
            if (!nodes_[left].boolean() || !nodes_[right].boolean()) {
                throw NotCovered{};
            }
            return add({op == "and" ? NodeKind::And : NodeKind::Or, 0, 0, 0, left, right});
        }
        if (nodes_[left].boolean() || nodes_[right].boolean()) {
            throw NotCovered{};
        }
        if (op.size() == 2 || op == "<" || op == ">") {
            // Kept in the order written: a > b is compared as b < a and a >= b as b <= a, as the
            // interpreter does, once both sides have their registers.
            const char code = op == "<"    ? '<'
                              : op == "<=" ? 'l'
                              : op == ">"  ? 'g'
                              : op == ">=" ? 'G'
                              : op == "==" ? '='
                                           : '!';
            return add({NodeKind::Compare, 0, 0, code, left, right});
        }
        const char code = op[0];
        const Node& a = nodes_[left];
        const Node& b = nodes_[right];
        if (a.numeral && b.numeral && !((code == '/' || code == '%') && b.value == 0)) {
            const double folded = Arithmetic(code, a.value, b.value);
            if (!std::isnan(folded)) {
                return add(Numeral(folded));
            }
        }
        return add({NodeKind::Binary, 0, 0, code, left, right});
    }

    int add(Node node) {
        // The code is made by walking the tree: a long chain such as x+x+...+x, which the
        // interpreter compiles without nesting, would take as many frames as terms.
        int depth = 0;
        for (const int child : {node.left, node.right}) {
            if (child >= 0) {
                depth = std::max(depth, nodes_[child].depth);
            }
        }
        for (const int argument : node.arguments) {
            depth = std::max(depth, nodes_[argument].depth);
        }
        node.depth = depth + 1;
        if (node.depth > kTreeDepthLimit) {
            throw NotCovered{};
        }
        nodes_.push_back(std::move(node));
        return static_cast<int>(nodes_.size()) - 1;
    }

    // Code.
    std::size_t emit(NativeModel::Instruction instruction) {
        model_.code_.push_back(instruction);
        return model_.code_.size() - 1;
    }
    void emitMove(std::uint32_t to, std::uint32_t from) {
        if (to != from) {
            emit({Op::Move, to, from});
        }
    }
    void place(const std::vector<std::size_t>& jumps) {
        for (const std::size_t at : jumps) {
            model_.code_[at].target = static_cast<std::uint32_t>(model_.code_.size());
        }
    }

    // The register holding a number node's value, computing it into a new register when needed.
    std::uint32_t valueRegister(int index) {
        const Node& node = nodes_[index];
        if (node.boolean()) {
            throw NotCovered{};
        }
        if (node.kind == NodeKind::Number) {
            return constant(node.value);
        }
        if (node.kind == NodeKind::Variable) {
            return node.reg;
        }
        const std::uint32_t reg = newRegister();
        generate(index, reg);
        return reg;
    }

    // Computes a number node into dst. Every operand is read before dst is written, so dst may be
    // one of the operands' own registers.
    void generate(int index, std::uint32_t dst) {
        const Node node = nodes_[index];
        switch (node.kind) {
            case NodeKind::Number:
                emitMove(dst, constant(node.value));
                return;
            case NodeKind::Variable:
                emitMove(dst, node.reg);
                return;
            case NodeKind::Unary:
                emit({Op::Neg, dst, valueRegister(node.left)});
                return;
            case NodeKind::Binary: {
                // The interpreter takes a numeral on the left as a constant only after the right
                // side, any other left side before it; the order decides the sign of zeros.
                std::uint32_t a = 0;
                std::uint32_t b = 0;
                if (nodes_[node.left].numeral) {
                    b = valueRegister(node.right);
                    a = valueRegister(node.left);
                } else {
                    a = valueRegister(node.left);
                    b = valueRegister(node.right);
                }
                static constexpr std::array<std::pair<char, Op>, 6> kOps = {{{'+', Op::Add},
                                                                             {'-', Op::Sub},
                                                                             {'*', Op::Mul},
                                                                             {'/', Op::Div},
                                                                             {'%', Op::Mod},
                                                                             {'^', Op::Pow}}};
                const auto op = std::find_if(kOps.begin(), kOps.end(), [&](const auto& entry) {
                    return entry.first == node.op;
                });
                emit({op->second, dst, a, b});
                return;
            }
            case NodeKind::Call: {
                NativeModel::Instruction call;
                call.dst = dst;
                call.a = valueRegister(node.arguments[0]);
                if (node.unary != nullptr) {
                    call.op = Op::Call1;
                    call.unary = node.unary;
                } else {
                    call.op = Op::Call2;
                    call.b = valueRegister(node.arguments[1]);
                    call.binary = node.binary;
                }
                emit(call);
                return;
            }
            case NodeKind::MinMax: {
                std::vector<std::uint32_t> operands;
                for (const int argument : node.arguments) {
                    operands.push_back(valueRegister(argument));
                }
                const auto start = static_cast<std::uint32_t>(model_.operands_.size());
                model_.operands_.insert(model_.operands_.end(), operands.begin(), operands.end());
                emit({node.op == 'n' ? Op::Min : Op::Max, dst, start,
                      static_cast<std::uint32_t>(operands.size())});
                return;
            }
            default:
                throw NotCovered{};
        }
    }

    // Jumps to one of the places recorded in jumps when the condition's truth is when; falls
    // through otherwise. and/or skip their right side as the interpreter does.
    void jump(int index, bool when, std::vector<std::size_t>& jumps) {
        const Node node = nodes_[index];
        switch (node.kind) {
            case NodeKind::Not:
                jump(node.left, !when, jumps);
                return;
            case NodeKind::And:
            case NodeKind::Or: {
                // "a and b" is false when a is; "a or b" is true when a is.
                const bool shortCut = node.kind == NodeKind::Or;
                if (when == shortCut) {
                    jump(node.left, when, jumps);
                    jump(node.right, when, jumps);
                } else {
                    std::vector<std::size_t> past;
                    jump(node.left, shortCut, past);
                    jump(node.right, when, jumps);
                    place(past);
                }
                return;
            }
            case NodeKind::Compare: {
                std::uint32_t a = valueRegister(node.left);
                std::uint32_t b = valueRegister(node.right);
                Op op = Op::Jump;
                switch (node.op) {
                    case 'g':
                        std::swap(a, b);
                        [[fallthrough]];
                    case '<':
                        op = when ? Op::JumpIfLt : Op::JumpUnlessLt;
                        break;
                    case 'G':
                        std::swap(a, b);
                        [[fallthrough]];
                    case 'l':
                        op = when ? Op::JumpIfLe : Op::JumpUnlessLe;
                        break;
                    case '=':
                        op = when ? Op::JumpIfEq : Op::JumpUnlessEq;
                        break;
                    default:
                        op = when ? Op::JumpIfNe : Op::JumpUnlessNe;
                        break;
                }
                jumps.push_back(emit({op, 0, a, b}));
                return;
            }
            default:
                throw NotCovered{};
        }
    }

    static constexpr int kNestingLimit = 200;
    static constexpr int kTreeDepthLimit = 1000;

    NativeModel& model_;
    int depth_ = 0;
    std::vector<Token> tokens_;
    std::size_t position_ = 0;
    std::vector<Node> nodes_;
    std::vector<Scope> scopes_;
    Scope globals_;
    std::uint32_t registers_ = 0;
    std::vector<bool> assigned_;
    // Never a NaN: numerals are not, and folding makes none.
    std::map<double, std::uint32_t> constants_;
    bool uncertainRead_ = false;
};

std::shared_ptr<const NativeModel> NativeModel::Compile(const std::string& scriptText) {
    std::shared_ptr<NativeModel> model(new NativeModel);
    model->script_ = scriptText;
    try {
        NativeModelCompiler(*model).compile(scriptText);
        model->covered_ = true;
        for (const Instruction& instruction : model->code_) {
            if (instruction.op <= Op::Max &&
                instruction.dst < static_cast<std::uint32_t>(model->argumentCount_)) {
                model->highestWrittenArgument_ =
                    std::max(model->highestWrittenArgument_, static_cast<int>(instruction.dst));
            }
        }
    } catch (const NotCovered&) {
        model->code_.clear();
        model->results_.clear();
    }
    return model;
}

std::shared_ptr<const NativeModel> NativeModel::CompileWithMachineCode(
    const std::string& scriptText, int variables) {
    std::shared_ptr<const NativeModel> compiled = Compile(scriptText);
    if (compiled->covered()) {
        // The code refers to the program's own functions (deg, rad), which live as long as the
        // process, and to nothing else of it.
        auto model = std::const_pointer_cast<NativeModel>(compiled);
        model->machineCode_ = NativeCode::Generate(*model, variables);
    }
    return compiled;
}

std::string_view NativeModel::FunctionName(const Instruction& instruction) {
    if (instruction.op == Op::Call2 && instruction.binary == &Power) {
        return "pow";
    }
    for (const MathFunction& function : kMathFunctions) {
        if ((instruction.op == Op::Call1 && function.unary == instruction.unary) ||
            (instruction.op == Op::Call2 && function.binary == instruction.binary)) {
            return function.name;
        }
    }
    return {};
}

bool NativeModel::writesArgumentsFrom(int first) const {
    return highestWrittenArgument_ >= first;
}

void NativeModel::prepare(double* registers) const {
    for (const auto& [reg, value] : constants_) {
        registers[reg] = value;
    }
}

namespace {

// Not finite: infinite or not a number.
inline bool Bad(double value) {
    return !(std::fabs(value) <= DBL_MAX);
}

}  // namespace

// Threaded dispatch: each operation jumps straight to the next one's code, which lets the
// processor predict every jump from where it is made. A switch in a loop funnels them all through
// one jump that it predicts poorly, and the run costs about twice as much.
bool NativeModel::run(double* r) const {
    static constexpr std::array<const void*, 21> kLabels = {
        &&add,          &&sub,          &&mul,      &&div,      &&mod,          &&pow,
        &&neg,          &&move,         &&call1,    &&call2,    &&min,          &&max,
        &&jumpIfLt,     &&jumpIfLe,     &&jumpIfEq, &&jumpIfNe, &&jumpUnlessLt, &&jumpUnlessLe,
        &&jumpUnlessEq, &&jumpUnlessNe, &&jump};
    static_assert(static_cast<int>(Op::Jump) == 20 && static_cast<int>(Op::End) == 21);
    const Instruction* const code = code_.data();
    const Instruction* at = code;
    double value = 0;
// The next operation, or the end.
#define KALVORA_NEXT                                     \
    do {                                                 \
        if (at->op == Op::End) {                         \
            return true;                                 \
        }                                                \
        goto* kLabels[static_cast<std::size_t>(at->op)]; \
    } while (false)
// Every value an operation makes is checked before it is kept.
#define KALVORA_KEEP        \
    do {                    \
        if (Bad(value)) {   \
            return false;   \
        }                   \
        r[at->dst] = value; \
        ++at;               \
        KALVORA_NEXT;       \
    } while (false)
// A conditional jump.
#define KALVORA_JUMP(condition)                        \
    do {                                               \
        at = (condition) ? code + at->target : at + 1; \
        KALVORA_NEXT;                                  \
    } while (false)

    KALVORA_NEXT;
add:
    value = r[at->a] + r[at->b];
    KALVORA_KEEP;
sub:
    value = r[at->a] - r[at->b];
    KALVORA_KEEP;
mul:
    value = r[at->a] * r[at->b];
    KALVORA_KEEP;
div:
    value = r[at->a] / r[at->b];
    KALVORA_KEEP;
mod:
    value = Modulo(r[at->a], r[at->b]);
    KALVORA_KEEP;
pow:
    value = Power(r[at->a], r[at->b]);
    KALVORA_KEEP;
neg:
    value = -r[at->a];
    KALVORA_KEEP;
move:
    value = r[at->a];
    KALVORA_KEEP;
call1:
    value = at->unary(r[at->a]);
    KALVORA_KEEP;
call2:
    value = at->binary(r[at->a], r[at->b]);
    KALVORA_KEEP;
min : {
    const std::uint32_t* operand = operands_.data() + at->a;
    value = r[operand[0]];
    for (std::uint32_t i = 1; i < at->b; ++i) {
        if (r[operand[i]] < value) {
            value = r[operand[i]];
        }
    }
    KALVORA_KEEP;
}
max : {
    const std::uint32_t* operand = operands_.data() + at->a;
    value = r[operand[0]];
    for (std::uint32_t i = 1; i < at->b; ++i) {
        if (r[operand[i]] > value) {
            value = r[operand[i]];
        }
    }
    KALVORA_KEEP;
}
jumpIfLt:
    KALVORA_JUMP(r[at->a] < r[at->b]);
jumpIfLe:
    KALVORA_JUMP(r[at->a] <= r[at->b]);
jumpIfEq:
    KALVORA_JUMP(r[at->a] == r[at->b]);
jumpIfNe:
    KALVORA_JUMP(r[at->a] != r[at->b]);
jumpUnlessLt:
    KALVORA_JUMP(!(r[at->a] < r[at->b]));
jumpUnlessLe:
    KALVORA_JUMP(!(r[at->a] <= r[at->b]));
jumpUnlessEq:
    KALVORA_JUMP(!(r[at->a] == r[at->b]));
jumpUnlessNe:
    KALVORA_JUMP(!(r[at->a] != r[at->b]));
jump:
    at = code + at->target;
    KALVORA_NEXT;
#undef KALVORA_JUMP
#undef KALVORA_KEEP
#undef KALVORA_NEXT
}

}  // namespace kalvora
