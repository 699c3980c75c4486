#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kalvora {

class NativeCode;

// Most models are a few lines of arithmetic, and the interpreter spends far more time on calling
// them than on the arithmetic itself. A model whose statements are plain arithmetic (assignments
// to the arguments, to locals and to globals that are assigned before they are read, if-statements
// on comparisons, and the math library's functions of their arguments alone) is compiled here into
// a small register program that makes the same operations in the same order on the same doubles,
// calling the same C library functions, and so gives the same numbers, bit for bit.
//
// The program keeps one promise about faults: it never lets one pass. As soon as any value it
// computes or receives is not finite, run() returns false and the caller evaluates the step in the
// interpreter, which then decides, with the floating-point status, what the step gives. Every
// floating-point fault makes a value that is not finite (the arithmetic rounds to nearest), so a
// program that ran to its end saw none.
class NativeModel {
  public:
    // The script must already have compiled in the interpreter. When it holds anything the
    // program does not cover, the result is not covered() and the interpreter runs the model.
    static std::shared_ptr<const NativeModel> Compile(const std::string& scriptText);
    // The same, with machine code made for a model of that many variables when the program
    // covers the script and a code generator is at hand (see NativeCode).
    static std::shared_ptr<const NativeModel> CompileWithMachineCode(const std::string& scriptText,
                                                                     int variables);

    const std::string& script() const { return script_; }
    bool covered() const { return covered_; }
    // Whether the statements, read whole, assign nothing but the model's arguments and its own
    // locals: a call keeps nothing for the next, whatever the interpreter does with the names that
    // may be nil (which make a model stateless yet not covered). The one reading of the script
    // that both the compiler and the batch replays rely on.
    bool stateless() const { return stateless_; }
    // Whether a call may change an argument register at or after first (a model that assigns to
    // a parameter), so that the next call must load it again.
    bool writesArgumentsFrom(int first) const;
    int argumentCount() const { return argumentCount_; }
    int resultCount() const { return static_cast<int>(results_.size()); }
    int registerCount() const { return registerCount_; }
    int resultRegister(int k) const { return static_cast<int>(results_[k]); }

    // Writes the constants into a register file of registerCount() doubles; they are never
    // overwritten, so a register file is prepared once for any number of runs.
    void prepare(double* registers) const;

    // One call of the model: the arguments in registers 0 .. argumentCount()-1, the results then
    // in resultRegister(k). False when a value it made was not finite (the results are then
    // undefined). The arguments must be finite.
    bool run(double* registers) const;

    enum class Op : std::uint8_t {
        Add,
        Sub,
        Mul,
        Div,
        Mod,
        Pow,
        Neg,
        Move,
        Call1,
        Call2,
        Min,
        Max,
        // Jumps to target when the comparison of a and b holds (JumpIf...) or fails
        // (JumpUnless...).
        JumpIfLt,
        JumpIfLe,
        JumpIfEq,
        JumpIfNe,
        JumpUnlessLt,
        JumpUnlessLe,
        JumpUnlessEq,
        JumpUnlessNe,
        Jump,
        End
    };
    struct Instruction {
        Op op = Op::End;
        std::uint32_t dst = 0;
        std::uint32_t a = 0;
        std::uint32_t b = 0;
        std::uint32_t target = 0;
        double (*unary)(double) = nullptr;
        double (*binary)(double, double) = nullptr;
    };

    // The program itself, for readers that evaluate it another way (the derivatives). The min and
    // max operations take their operands from operands(), starting at a, b of them.
    const std::vector<Instruction>& code() const { return code_; }
    const std::vector<std::uint32_t>& operands() const { return operands_; }
    // The registers that hold constants, and their values.
    const std::vector<std::pair<std::uint32_t, double>>& constants() const { return constants_; }
    // The machine code made from this program, or null (none asked for, or none to be had).
    const std::shared_ptr<const NativeCode>& machineCode() const { return machineCode_; }
    // The math library's name of the function a Call1 or Call2 operation calls ("sin", "pow").
    static std::string_view FunctionName(const Instruction& instruction);

  private:
    NativeModel() = default;

    std::string script_;
    bool covered_ = false;
    bool stateless_ = false;
    int argumentCount_ = 0;
    int highestWrittenArgument_ = -1;
    int registerCount_ = 0;
    std::vector<std::uint32_t> results_;
    std::vector<std::pair<std::uint32_t, double>> constants_;
    std::vector<Instruction> code_;
    // The argument lists of math.min and math.max.
    std::vector<std::uint32_t> operands_;
    std::shared_ptr<const NativeCode> machineCode_;

    friend class NativeModelCompiler;
};

}  // namespace kalvora
