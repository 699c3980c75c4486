#include "core/native_code.h"

#include <llvm/ExecutionEngine/Orc/ExecutionUtils.h>
#include <llvm/ExecutionEngine/Orc/JITTargetMachineBuilder.h>
#include <llvm/ExecutionEngine/Orc/LLJIT.h>
#include <llvm/ExecutionEngine/Orc/ThreadSafeModule.h>
#include <llvm/IR/IRBuilder.h>
#include <llvm/IR/Intrinsics.h>
#include <llvm/IR/LLVMContext.h>
#include <llvm/IR/MDBuilder.h>
#include <llvm/IR/Module.h>
#include <llvm/IR/Verifier.h>
#include <llvm/Passes/PassBuilder.h>
#include <llvm/Support/TargetSelect.h>
#include <llvm/Target/TargetMachine.h>

#include <array>
#include <cfloat>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string_view>
#include <vector>

#include "core/native_model.h"

namespace kalvora {

struct NativeCode::Engine {
    std::unique_ptr<llvm::orc::LLJIT> jit;
    std::mutex lock;
    std::array<bool, NativeCode::kFunctionCount> refused{};
};

NativeCode::~NativeCode() = default;

namespace {

using Op = NativeModel::Op;

// The C library's functions the program calls, by the math library's names: the code calls the
// very functions the register program and the interpreter call. abs, floor, ceil and sqrt are made
// in place (each is exact, so any way of making it gives the same double), deg and rad call the
// program's own functions, which hold the interpreter's constant.
using Unary = double (*)(double);
using Binary = double (*)(double, double);

Unary LibraryUnary(std::string_view name) {
    static const std::pair<std::string_view, Unary> kFunctions[] = {
        {"acos", &::acos}, {"asin", &::asin}, {"atan", &::atan}, {"cos", &::cos},
        {"cosh", &::cosh}, {"exp", &::exp},   {"log", &::log},   {"log10", &::log10},
        {"sin", &::sin},   {"sinh", &::sinh}, {"tan", &::tan},   {"tanh", &::tanh},
    };
    for (const auto& [known, function] : kFunctions) {
        if (known == name) {
            return function;
        }
    }
    return nullptr;
}

Binary LibraryBinary(std::string_view name) {
    if (name == "pow") {
        return &::pow;
    }
    if (name == "atan2") {
        return &::atan2;
    }
    if (name == "fmod") {
        return &::fmod;
    }
    return nullptr;
}

bool TurnedOff() {
    const char* setting = std::getenv("KALVORA_JIT");
    return setting != nullptr &&
           (std::strcmp(setting, "off") == 0 || std::strcmp(setting, "0") == 0);
}

// The code generator's one-time set-up; false when this machine's target is not built in.
bool TargetReady() {
    static const bool ready = [] {
        return !llvm::InitializeNativeTarget() && !llvm::InitializeNativeTargetAsmPrinter();
    }();
    return ready;
}

// Thrown when the program holds something the generator does not make.
struct Refused {};

}  // namespace

// Builds one module with three functions over the program:
//   int call(const double* variables, const double* parameters, double* results)
//   int64 iterate(Extended* state, const double* parameters, int64 n)
//   int kutta(const Extended* in, Extended* out, const double* parameters, const Extended* h)
// The program's registers become the function's own values, so the variables of an iteration and
// the Runge-Kutta stages never pass through memory.
class NativeCodeGenerator {
  public:
    NativeCodeGenerator(const NativeModel& program, int variables, llvm::LLVMContext& context,
                        llvm::Module& module)
        : program_(program),
          variables_(variables),
          parameters_(program.argumentCount() - variables),
          results_(program.resultCount()),
          context_(context),
          module_(module),
          builder_(context),
          double_(llvm::Type::getDoubleTy(context)),
          extended_(llvm::Type::getX86_FP80Ty(context)),
          int32_(llvm::Type::getInt32Ty(context)),
          int64_(llvm::Type::getInt64Ty(context)) {
        const std::vector<NativeModel::Instruction>& code = program_.code();
        for (const NativeModel::Instruction& instruction : code) {
            if (instruction.op == Op::Call1 || instruction.op == Op::Call2) {
                const std::string_view name = NativeModel::FunctionName(instruction);
                if (name.empty()) {
                    throw Refused{};
                }
            }
        }
    }

    // One of the functions, by its index in NativeCode::kFunctionNames.
    void generate(int function) {
        switch (function) {
            case 0:
                generateCall();
                break;
            case 1:
                generateIterate();
                break;
            case 2:
                generateKutta();
                break;
            case 3:
                generateKuttaSteps();
                break;
            case 4:
                generateIterateWithin();
                break;
            case 5:
                generatePair(false);
                break;
            case 6:
                generatePair(true);
                break;
            case 7:
                generatePeriods(false);
                break;
            default:
                generatePeriods(true);
                break;
        }
    }

  private:
    using Values = std::vector<llvm::Value*>;

    llvm::Function* newFunction(const char* name, llvm::Type* result,
                                const std::vector<llvm::Type*>& arguments) {
        auto* type = llvm::FunctionType::get(result, arguments, false);
        auto* function =
            llvm::Function::Create(type, llvm::Function::ExternalLinkage, name, module_);
        function->addFnAttr(llvm::Attribute::NoUnwind);
        for (unsigned i = 0; i < function->arg_size(); ++i) {
            if (arguments[i]->isPointerTy()) {
                function->addParamAttr(i, llvm::Attribute::NoAlias);
            }
        }
        function_ = function;
        failBlock_ = nullptr;
        return function;
    }
    llvm::BasicBlock* newBlock(const char* name = "") {
        return llvm::BasicBlock::Create(context_, name, function_);
    }
    // Where every value that is not finite leads: the function returns failure from there.
    llvm::BasicBlock* fail() { return failBlock_; }

    llvm::Value* constant(double value) { return llvm::ConstantFP::get(double_, value); }
    llvm::Value* extendedConstant(double value) { return llvm::ConstantFP::get(extended_, value); }

    llvm::Value* fabs(llvm::Value* value) {
        return builder_.CreateUnaryIntrinsic(llvm::Intrinsic::fabs, value);
    }
    // Goes on only when value is finite (neither infinite nor a NaN).
    void requireFinite(llvm::Value* value) {
        llvm::Value* finite =
            value->getType() == double_
                ? builder_.CreateFCmpOLE(fabs(value), constant(DBL_MAX))
                : builder_.CreateFCmpOLT(fabs(value), llvm::ConstantFP::getInfinity(extended_));
        llvm::BasicBlock* next = newBlock();
        builder_.CreateCondBr(finite, next, fail(), likely_);
        builder_.SetInsertPoint(next);
    }

    llvm::Value* load(llvm::Type* type, llvm::Value* base, int index) {
        llvm::Value* at = builder_.CreateConstInBoundsGEP1_64(type, base, index);
        return builder_.CreateLoad(type, at);
    }
    void store(llvm::Type* type, llvm::Value* value, llvm::Value* base, int index) {
        builder_.CreateStore(value, builder_.CreateConstInBoundsGEP1_64(type, base, index));
    }

    // A call of a C library function at its address: the code generator does not know it by
    // name, so it cannot replace it by something it holds equal (pow(x, 2) by x * x).
    llvm::Value* callAddress(const void* address, const Values& arguments) {
        std::vector<llvm::Type*> types(arguments.size(), double_);
        auto* type = llvm::FunctionType::get(double_, types, false);
        llvm::Value* callee = llvm::ConstantExpr::getIntToPtr(
            llvm::ConstantInt::get(int64_, reinterpret_cast<std::uint64_t>(address)),
            llvm::PointerType::getUnqual(type));
        llvm::CallInst* call = builder_.CreateCall(type, callee, arguments);
        call->addFnAttr(llvm::Attribute::NoUnwind);
        return call;
    }

    llvm::Value* callFunction(const NativeModel::Instruction& instruction, llvm::Value* a,
                              llvm::Value* b) {
        const std::string_view name = NativeModel::FunctionName(instruction);
        if (instruction.op == Op::Call1) {
            if (name == "abs") {
                return fabs(a);
            }
            if (name == "floor") {
                return builder_.CreateUnaryIntrinsic(llvm::Intrinsic::floor, a);
            }
            if (name == "ceil") {
                return builder_.CreateUnaryIntrinsic(llvm::Intrinsic::ceil, a);
            }
            if (name == "sqrt") {
                return builder_.CreateUnaryIntrinsic(llvm::Intrinsic::sqrt, a);
            }
            const Unary function = LibraryUnary(name);
            return callAddress(
                reinterpret_cast<const void*>(function != nullptr ? function : instruction.unary),
                {a});
        }
        const Binary function = LibraryBinary(name);
        return callAddress(
            reinterpret_cast<const void*>(function != nullptr ? function : instruction.binary),
            {a, b});
    }

    // The program once, at the builder's place, on the given arguments; returns its results with
    // the builder after them. Every value made is checked, as the register program checks it.
    Values program(const Values& arguments) {
        const std::vector<NativeModel::Instruction>& code = program_.code();
        const std::vector<std::uint32_t>& operands = program_.operands();
        // One slot per register in the entry block, which the optimiser turns into values.
        std::vector<llvm::AllocaInst*> registers(
            static_cast<std::size_t>(program_.registerCount()));
        {
            llvm::IRBuilder<> entry(&function_->getEntryBlock(),
                                    function_->getEntryBlock().begin());
            for (auto& reg : registers) {
                reg = entry.CreateAlloca(double_);
            }
        }
        for (const auto& [reg, value] : program_.constants()) {
            builder_.CreateStore(constant(value), registers[reg]);
        }
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            builder_.CreateStore(arguments[i], registers[i]);
        }
        const auto read = [&](std::uint32_t reg) {
            return builder_.CreateLoad(double_, registers[reg]);
        };
        // A block starts at every jump's target and after every jump.
        std::vector<llvm::BasicBlock*> blocks(code.size() + 1, nullptr);
        for (std::size_t i = 0; i < code.size(); ++i) {
            if (code[i].op >= Op::JumpIfLt && code[i].op <= Op::Jump) {
                if (blocks[code[i].target] == nullptr) {
                    blocks[code[i].target] = newBlock();
                }
                if (blocks[i + 1] == nullptr) {
                    blocks[i + 1] = newBlock();
                }
            }
        }
        Values results;
        for (std::size_t i = 0; i < code.size(); ++i) {
            if (blocks[i] != nullptr) {
                if (builder_.GetInsertBlock()->getTerminator() == nullptr) {
                    builder_.CreateBr(blocks[i]);
                }
                builder_.SetInsertPoint(blocks[i]);
            }
            const NativeModel::Instruction& at = code[i];
            llvm::Value* value = nullptr;
            switch (at.op) {
                case Op::Add:
                    value = builder_.CreateFAdd(read(at.a), read(at.b));
                    break;
                case Op::Sub:
                    value = builder_.CreateFSub(read(at.a), read(at.b));
                    break;
                case Op::Mul:
                    value = builder_.CreateFMul(read(at.a), read(at.b));
                    break;
                case Op::Div:
                    value = builder_.CreateFDiv(read(at.a), read(at.b));
                    break;
                case Op::Mod: {
                    // The interpreter's a - floor(a / b) * b, each operation rounded on its own.
                    llvm::Value* a = read(at.a);
                    llvm::Value* b = read(at.b);
                    llvm::Value* quotient = builder_.CreateUnaryIntrinsic(
                        llvm::Intrinsic::floor, builder_.CreateFDiv(a, b));
                    value = builder_.CreateFSub(a, builder_.CreateFMul(quotient, b));
                    break;
                }
                case Op::Pow:
                    value = callAddress(reinterpret_cast<const void*>(&::pow),
                                        {read(at.a), read(at.b)});
                    break;
                case Op::Neg:
                    value = builder_.CreateFNeg(read(at.a));
                    break;
                case Op::Move:
                    value = read(at.a);
                    break;
                case Op::Call1:
                    value = callFunction(at, read(at.a), nullptr);
                    break;
                case Op::Call2:
                    value = callFunction(at, read(at.a), read(at.b));
                    break;
                case Op::Min:
                case Op::Max: {
                    // The first operand, replaced by each later one that is smaller (larger).
                    value = read(operands[at.a]);
                    for (std::uint32_t k = 1; k < at.b; ++k) {
                        llvm::Value* next = read(operands[at.a + k]);
                        llvm::Value* replaces = at.op == Op::Min
                                                    ? builder_.CreateFCmpOLT(next, value)
                                                    : builder_.CreateFCmpOGT(next, value);
                        value = builder_.CreateSelect(replaces, next, value);
                    }
                    break;
                }
                case Op::JumpIfLt:
                case Op::JumpIfLe:
                case Op::JumpIfEq:
                case Op::JumpIfNe:
                case Op::JumpUnlessLt:
                case Op::JumpUnlessLe:
                case Op::JumpUnlessEq:
                case Op::JumpUnlessNe: {
                    llvm::Value* a = read(at.a);
                    llvm::Value* b = read(at.b);
                    llvm::Value* holds = nullptr;
                    switch (at.op) {
                        case Op::JumpIfLt:
                        case Op::JumpUnlessLt:
                            holds = builder_.CreateFCmpOLT(a, b);
                            break;
                        case Op::JumpIfLe:
                        case Op::JumpUnlessLe:
                            holds = builder_.CreateFCmpOLE(a, b);
                            break;
                        case Op::JumpIfEq:
                        case Op::JumpUnlessEq:
                            holds = builder_.CreateFCmpOEQ(a, b);
                            break;
                        default:
                            holds = builder_.CreateFCmpUNE(a, b);
                            break;
                    }
                    const bool when = at.op <= Op::JumpIfNe;
                    builder_.CreateCondBr(holds, when ? blocks[at.target] : blocks[i + 1],
                                          when ? blocks[i + 1] : blocks[at.target]);
                    continue;
                }
                case Op::Jump:
                    builder_.CreateBr(blocks[at.target]);
                    continue;
                case Op::End:
                    for (int k = 0; k < program_.resultCount(); ++k) {
                        results.push_back(
                            read(static_cast<std::uint32_t>(program_.resultRegister(k))));
                    }
                    return results;
            }
            requireFinite(value);
            builder_.CreateStore(value, registers[at.dst]);
        }
        throw Refused{};  // a program always ends with End
    }

    // Reads count doubles of a C array, each required finite.
    Values loadFinite(llvm::Value* base, int count) {
        Values values;
        for (int i = 0; i < count; ++i) {
            values.push_back(load(double_, base, i));
            requireFinite(values.back());
        }
        return values;
    }
    static Values joined(Values a, const Values& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    // The block that returns failure (a zero of the function's type).
    void makeFailBlock(llvm::Type* type) {
        failBlock_ = newBlock("fail");
        llvm::IRBuilder<> at(failBlock_);
        at.CreateRet(llvm::ConstantInt::get(type, 0));
    }

    void generateCall() {
        auto* pointer = llvm::PointerType::getUnqual(double_);
        llvm::Function* function = newFunction("call", int32_, {pointer, pointer, pointer});
        builder_.SetInsertPoint(newBlock("entry"));
        makeFailBlock(int32_);
        const Values variables = loadFinite(function->getArg(0), variables_);
        const Values parameters = loadFinite(function->getArg(1), parameters_);
        const Values results = program(joined(variables, parameters));
        for (int k = 0; k < results_; ++k) {
            store(double_, results[k], function->getArg(2), k);
        }
        builder_.CreateRet(llvm::ConstantInt::get(int32_, 1));
    }

    // A state slot's value as the program receives it: the Extended value rounded to a double.
    llvm::Value* loadVariable(llvm::Value* state, int index) {
        return builder_.CreateFPTrunc(load(extended_, state, index), double_);
    }

    // n iterations of the map, each followed by the test of whether the state is still within
    // a radius of a centre, as the basin scan makes it after every transient step:
    //   sum = 0; sum += (state[s] - centre[s])^2 for each slot s, in Extended;
    //   within when sum <= square, outside when sum > limit, else when sqrt(sum) <= radius.
    // Returns 1 when every step was made and within (all results stored), 2 when a step left
    // (its results stored), 0 when a value was not finite: the state after the steps made before
    // is stored (untouched when none was) and *made says how many there were.
    void generateIterateWithin() {
        auto* extendedPointer = llvm::PointerType::getUnqual(extended_);
        auto* doublePointer = llvm::PointerType::getUnqual(double_);
        auto* intPointer = llvm::PointerType::getUnqual(int32_);
        auto* countPointer = llvm::PointerType::getUnqual(int64_);
        llvm::Function* function =
            newFunction("iterateWithin", int32_,
                        {extendedPointer, doublePointer, int64_, extendedPointer, intPointer,
                         int32_, extendedPointer, countPointer});
        llvm::Value* state = function->getArg(0);
        llvm::Value* n = function->getArg(2);
        llvm::Value* centre = function->getArg(3);
        llvm::Value* slots = function->getArg(4);
        llvm::Value* slotCount = function->getArg(5);
        llvm::Value* bounds = function->getArg(6);
        llvm::Value* made = function->getArg(7);
        llvm::BasicBlock* entry = newBlock("entry");
        builder_.SetInsertPoint(entry);
        // Before the first step nothing is written.
        llvm::BasicBlock* refused = newBlock("refused");
        {
            llvm::IRBuilder<> at(refused);
            at.CreateStore(llvm::ConstantInt::get(int64_, 0), made);
            at.CreateRet(llvm::ConstantInt::get(int32_, 0));
        }
        failBlock_ = refused;
        // The state as it would stand in memory between the steps, for the test to index.
        llvm::Value* current = [&] {
            llvm::IRBuilder<> at(&function_->getEntryBlock(), function_->getEntryBlock().begin());
            return at.CreateAlloca(extended_, llvm::ConstantInt::get(int32_, results_));
        }();
        Values start;
        for (int i = 0; i < results_; ++i) {
            start.push_back(load(extended_, state, i));
        }
        for (int i = 0; i < variables_; ++i) {
            requireFinite(builder_.CreateFPTrunc(start[i], double_));
        }
        const Values parameters = loadFinite(function->getArg(1), parameters_);
        llvm::Value* square = load(extended_, bounds, 0);
        llvm::Value* limit = load(extended_, bounds, 1);
        llvm::Value* radius = load(extended_, bounds, 2);
        llvm::BasicBlock* before = builder_.GetInsertBlock();
        llvm::BasicBlock* loop = newBlock("loop");
        builder_.CreateBr(loop);
        builder_.SetInsertPoint(loop);
        llvm::PHINode* count = builder_.CreatePHI(int64_, 2);
        count->addIncoming(llvm::ConstantInt::get(int64_, 0), before);
        std::vector<llvm::PHINode*> phis;
        for (int i = 0; i < results_; ++i) {
            phis.push_back(builder_.CreatePHI(extended_, 2));
            phis.back()->addIncoming(start[i], before);
        }
        // From inside the loop a value that is not finite keeps the steps made before it.
        failBlock_ = newBlock("fail");
        {
            llvm::IRBuilder<> at(failBlock_);
            for (int i = 0; i < results_; ++i) {
                at.CreateStore(phis[i], at.CreateConstInBoundsGEP1_64(extended_, state, i));
            }
            at.CreateStore(count, made);
            at.CreateRet(llvm::ConstantInt::get(int32_, 0));
        }
        Values variables;
        for (int i = 0; i < variables_; ++i) {
            variables.push_back(builder_.CreateFPTrunc(phis[i], double_));
        }
        const Values results = program(joined(variables, parameters));
        Values extended;
        for (int i = 0; i < results_; ++i) {
            extended.push_back(builder_.CreateFPExt(results[i], extended_));
            store(extended_, extended.back(), current, i);
        }
        // The squared distance over the slots, in their order.
        llvm::BasicBlock* beforeSum = builder_.GetInsertBlock();
        llvm::BasicBlock* sumLoop = newBlock("sum");
        llvm::BasicBlock* summed = newBlock("summed");
        llvm::Value* anySlots =
            builder_.CreateICmpSGT(slotCount, llvm::ConstantInt::get(int32_, 0));
        builder_.CreateCondBr(anySlots, sumLoop, summed);
        builder_.SetInsertPoint(sumLoop);
        llvm::PHINode* slot = builder_.CreatePHI(int32_, 2);
        slot->addIncoming(llvm::ConstantInt::get(int32_, 0), beforeSum);
        llvm::PHINode* partial = builder_.CreatePHI(extended_, 2);
        partial->addIncoming(extendedConstant(0), beforeSum);
        llvm::Value* index = builder_.CreateLoad(
            int32_, builder_.CreateInBoundsGEP(int32_, slots, builder_.CreateSExt(slot, int64_)));
        llvm::Value* index64 = builder_.CreateSExt(index, int64_);
        llvm::Value* difference = builder_.CreateFSub(
            builder_.CreateLoad(extended_, builder_.CreateInBoundsGEP(extended_, current, index64)),
            builder_.CreateLoad(extended_, builder_.CreateInBoundsGEP(extended_, centre, index64)));
        llvm::Value* sum =
            builder_.CreateFAdd(partial, builder_.CreateFMul(difference, difference));
        llvm::Value* nextSlot = builder_.CreateAdd(slot, llvm::ConstantInt::get(int32_, 1));
        slot->addIncoming(nextSlot, sumLoop);
        partial->addIncoming(sum, sumLoop);
        builder_.CreateCondBr(builder_.CreateICmpSLT(nextSlot, slotCount), sumLoop, summed);
        builder_.SetInsertPoint(summed);
        llvm::PHINode* total = builder_.CreatePHI(extended_, 2);
        total->addIncoming(extendedConstant(0), beforeSum);
        total->addIncoming(sum, sumLoop);
        llvm::BasicBlock* nearTest = newBlock("near");
        llvm::BasicBlock* rootTest = newBlock("root");
        llvm::BasicBlock* inside = newBlock("inside");
        llvm::BasicBlock* outside = newBlock("outside");
        builder_.CreateCondBr(builder_.CreateFCmpOLE(total, square), inside, nearTest, likely_);
        builder_.SetInsertPoint(nearTest);
        builder_.CreateCondBr(builder_.CreateFCmpOGT(total, limit), outside, rootTest);
        builder_.SetInsertPoint(rootTest);
        llvm::Value* root = builder_.CreateUnaryIntrinsic(llvm::Intrinsic::sqrt, total);
        builder_.CreateCondBr(builder_.CreateFCmpOLE(root, radius), inside, outside);
        builder_.SetInsertPoint(outside);
        for (int i = 0; i < results_; ++i) {
            store(extended_, extended[i], state, i);
        }
        builder_.CreateRet(llvm::ConstantInt::get(int32_, 2));
        builder_.SetInsertPoint(inside);
        llvm::Value* next = builder_.CreateAdd(count, llvm::ConstantInt::get(int64_, 1));
        llvm::BasicBlock* done = newBlock("done");
        builder_.CreateCondBr(builder_.CreateICmpSLT(next, n), loop, done);
        count->addIncoming(next, inside);
        for (int i = 0; i < results_; ++i) {
            phis[i]->addIncoming(extended[i], inside);
        }
        builder_.SetInsertPoint(done);
        for (int i = 0; i < results_; ++i) {
            store(extended_, extended[i], state, i);
        }
        builder_.CreateStore(next, made);
        builder_.CreateRet(llvm::ConstantInt::get(int32_, 1));
    }

    // One step of the model from Extended values, as ModelStep makes it: an iteration of the map
    // (the variables rounded to doubles, every result kept) or Kutta's step of the flow.
    Values step(const Values& state, const Values& parameters, llvm::Value* h, bool flow) {
        if (flow) {
            return kuttaStep(state, h, parameters);
        }
        Values variables;
        for (int i = 0; i < variables_; ++i) {
            variables.push_back(builder_.CreateFPTrunc(state[i], double_));
            requireFinite(variables.back());
        }
        Values results = program(joined(variables, parameters));
        for (llvm::Value*& result : results) {
            result = builder_.CreateFPExt(result, extended_);
        }
        return results;
    }

    // Iterations of the two-trajectory Lyapunov exponent, as the sweep makes them:
    //   a = step(a); b = step(b); d = sqrt(sum of (a[k] - b[k])^2 over the variables);
    //   sum += d > 0 ? log(d / epsilon) : penalty;
    //   b[k] = a[k] + (b[k] - a[k]) * (d != 0 ? epsilon / d : coincident)
    // all in Extended, log being the C library's logl. Returns the iterations made; fewer than n
    // when a value was not finite in the next one, whose start is then what a, b and sum hold.
    void generatePair(bool flow) {
        auto* extendedPointer = llvm::PointerType::getUnqual(extended_);
        auto* doublePointer = llvm::PointerType::getUnqual(double_);
        llvm::Function* function = newFunction(flow ? "flowPair" : "mapPair", int64_,
                                               {extendedPointer, extendedPointer, doublePointer,
                                                int64_, extendedPointer, extendedPointer});
        llvm::Value* a = function->getArg(0);
        llvm::Value* b = function->getArg(1);
        llvm::Value* n = function->getArg(3);
        llvm::Value* constants = function->getArg(4);
        llvm::Value* total = function->getArg(5);
        builder_.SetInsertPoint(newBlock("entry"));
        makeFailBlock(int64_);
        const Values parameters = loadFinite(function->getArg(2), parameters_);
        llvm::Value* epsilon = load(extended_, constants, 0);
        llvm::Value* penalty = load(extended_, constants, 1);
        llvm::Value* coincident = load(extended_, constants, 2);
        llvm::Value* h = load(extended_, constants, 3);
        Values startA;
        Values startB;
        for (int i = 0; i < results_; ++i) {
            startA.push_back(load(extended_, a, i));
            startB.push_back(load(extended_, b, i));
        }
        llvm::Value* startSum = load(extended_, total, 0);
        llvm::BasicBlock* before = builder_.GetInsertBlock();
        llvm::BasicBlock* loop = newBlock("loop");
        builder_.CreateBr(loop);
        builder_.SetInsertPoint(loop);
        llvm::PHINode* count = builder_.CreatePHI(int64_, 2);
        count->addIncoming(llvm::ConstantInt::get(int64_, 0), before);
        const auto carried = [&](const Values& start) {
            std::vector<llvm::PHINode*> phis;
            for (llvm::Value* value : start) {
                phis.push_back(builder_.CreatePHI(extended_, 2));
                phis.back()->addIncoming(value, before);
            }
            return phis;
        };
        const std::vector<llvm::PHINode*> phiA = carried(startA);
        const std::vector<llvm::PHINode*> phiB = carried(startB);
        const std::vector<llvm::PHINode*> phiSum = carried({startSum});
        failBlock_ = newBlock("fail");
        {
            llvm::IRBuilder<> at(failBlock_);
            for (int i = 0; i < results_; ++i) {
                at.CreateStore(phiA[i], at.CreateConstInBoundsGEP1_64(extended_, a, i));
                at.CreateStore(phiB[i], at.CreateConstInBoundsGEP1_64(extended_, b, i));
            }
            at.CreateStore(phiSum[0], total);
            at.CreateRet(count);
        }
        const Values nextA = step(Values(phiA.begin(), phiA.end()), parameters, h, flow);
        Values nextB = step(Values(phiB.begin(), phiB.end()), parameters, h, flow);
        llvm::Value* squares = extendedConstant(0);
        for (int k = 0; k < variables_; ++k) {
            llvm::Value* difference = builder_.CreateFSub(nextA[k], nextB[k]);
            squares = builder_.CreateFAdd(squares, builder_.CreateFMul(difference, difference));
        }
        llvm::Value* d = builder_.CreateUnaryIntrinsic(llvm::Intrinsic::sqrt, squares);
        llvm::BasicBlock* apart = newBlock("apart");
        llvm::BasicBlock* together = newBlock("together");
        llvm::BasicBlock* added = newBlock("added");
        builder_.CreateCondBr(builder_.CreateFCmpOGT(d, extendedConstant(0)), apart, together);
        builder_.SetInsertPoint(apart);
        auto* logType = llvm::FunctionType::get(extended_, {extended_}, false);
        llvm::Value* logAddress = llvm::ConstantExpr::getIntToPtr(
            llvm::ConstantInt::get(int64_,
                                   reinterpret_cast<std::uint64_t>(reinterpret_cast<const void*>(
                                       static_cast<long double (*)(long double)>(&::logl)))),
            llvm::PointerType::getUnqual(logType));
        llvm::CallInst* logarithm =
            builder_.CreateCall(logType, logAddress, {builder_.CreateFDiv(d, epsilon)});
        logarithm->addFnAttr(llvm::Attribute::NoUnwind);
        llvm::Value* withLog = builder_.CreateFAdd(phiSum[0], logarithm);
        builder_.CreateBr(added);
        builder_.SetInsertPoint(together);
        llvm::Value* withPenalty = builder_.CreateFAdd(phiSum[0], penalty);
        builder_.CreateBr(added);
        builder_.SetInsertPoint(added);
        llvm::PHINode* sum = builder_.CreatePHI(extended_, 2);
        sum->addIncoming(withLog, apart);
        sum->addIncoming(withPenalty, together);
        llvm::Value* factor = builder_.CreateSelect(builder_.CreateFCmpUNE(d, extendedConstant(0)),
                                                    builder_.CreateFDiv(epsilon, d), coincident);
        for (int k = 0; k < variables_; ++k) {
            nextB[k] = builder_.CreateFAdd(
                nextA[k], builder_.CreateFMul(builder_.CreateFSub(nextB[k], nextA[k]), factor));
        }
        llvm::Value* next = builder_.CreateAdd(count, llvm::ConstantInt::get(int64_, 1));
        llvm::BasicBlock* latch = builder_.GetInsertBlock();
        llvm::BasicBlock* done = newBlock("done");
        builder_.CreateCondBr(builder_.CreateICmpSLT(next, n), loop, done);
        count->addIncoming(next, latch);
        for (int i = 0; i < results_; ++i) {
            phiA[i]->addIncoming(nextA[i], latch);
            phiB[i]->addIncoming(nextB[i], latch);
        }
        phiSum[0]->addIncoming(sum, latch);
        builder_.SetInsertPoint(done);
        for (int i = 0; i < results_; ++i) {
            store(extended_, nextA[i], a, i);
            store(extended_, nextB[i], b, i);
        }
        builder_.CreateStore(sum, total);
        builder_.CreateRet(next);
    }

    // The period scan's test of one parameter pair (NativeCode::periods), one loop over steps:
    //   head: while the current advance has steps left, make one (asking stop every 4096);
    //   at the end of the transient the state is stored as settled and the first period begins;
    //   at the end of a first advance the state is compared with settled: near, the
    //   confirmations begin from it, else the next period; at the end of a confirmation one
    //   more is made or, after the last, all near is the period found, else the next period.
    // A new period starts from the settled state read back from memory, as the scan copies it.
    void generatePeriods(bool flow) {
        auto* extendedPointer = llvm::PointerType::getUnqual(extended_);
        auto* doublePointer = llvm::PointerType::getUnqual(double_);
        auto* countPointer = llvm::PointerType::getUnqual(int64_);
        auto* bytePointer = llvm::PointerType::getUnqual(llvm::Type::getInt8Ty(context_));
        auto* pollType = llvm::FunctionType::get(int32_, {bytePointer}, false);
        llvm::Function* function = newFunction(
            flow ? "flowPeriods" : "mapPeriods", int32_,
            {extendedPointer, extendedPointer, doublePointer, countPointer, countPointer,
             extendedPointer, countPointer, llvm::PointerType::getUnqual(pollType), bytePointer});
        llvm::Value* state = function->getArg(0);
        llvm::Value* settled = function->getArg(1);
        llvm::Value* periods = function->getArg(3);
        llvm::Value* config = function->getArg(4);
        llvm::Value* constants = function->getArg(5);
        llvm::Value* progress = function->getArg(6);
        llvm::Value* poll = function->getArg(7);
        llvm::Value* pollContext = function->getArg(8);
        llvm::BasicBlock* entry = newBlock("entry");
        builder_.SetInsertPoint(entry);
        // A parameter that is not finite: nothing is made, the caller's steps judge it.
        failBlock_ = newBlock("refused");
        llvm::IRBuilder<>(failBlock_).CreateRet(llvm::ConstantInt::get(int32_, -1));
        const Values parameters = loadFinite(function->getArg(2), parameters_);
        llvm::Value* epsilon = load(extended_, constants, 0);
        llvm::Value* h = load(extended_, constants, 1);
        llvm::Value* transient = load(int64_, config, 0);
        llvm::Value* periodCount = load(int64_, config, 1);
        llvm::Value* confirmations = load(int64_, config, 2);
        llvm::Value* zero = llvm::ConstantInt::get(int64_, 0);
        llvm::Value* one = llvm::ConstantInt::get(int64_, 1);
        llvm::Value* minusOne = llvm::ConstantInt::get(int64_, -1);
        Values startState;
        for (int i = 0; i < results_; ++i) {
            startState.push_back(load(extended_, state, i));
        }
        // A flow carries its Extended state from step to step; a map the doubles its program
        // made (a map's state is always its last results, each a double), which spares two
        // conversions through memory per step. Its start may hold values that are not doubles:
        // only the variables, rounded, go into a step, and the start itself is what the
        // transient leaves when it makes no step.
        llvm::Type* carried = flow ? extended_ : double_;
        const auto toCarried = [&](const Values& values) {
            Values out;
            for (int i = 0; i < results_; ++i) {
                out.push_back(flow ? values[i] : builder_.CreateFPTrunc(values[i], double_));
            }
            return out;
        };
        const auto toExtended = [&](llvm::IRBuilder<>& at, llvm::Value* value) {
            return flow ? value : at.CreateFPExt(value, extended_);
        };
        const Values startCarried = toCarried(startState);
        for (int i = 0; i < variables_; ++i) {
            requireFinite(startCarried[i]);
        }
        llvm::Value* startPhase = load(int64_, progress, 0);
        llvm::Value* startCheck = load(int64_, progress, 1);
        llvm::Value* startDone = load(int64_, progress, 2);
        llvm::Value* startConfirmed = load(int64_, progress, 3);
        const auto periodAt = [&](llvm::Value* phase) -> llvm::Value* {
            return builder_.CreateLoad(int64_, builder_.CreateInBoundsGEP(int64_, periods, phase));
        };
        llvm::Value* startLength = nullptr;
        {
            // The transient while the phase is -1, else the period of the phase's row.
            llvm::BasicBlock* inTransient = newBlock();
            llvm::BasicBlock* inPeriod = newBlock();
            llvm::BasicBlock* known = newBlock();
            builder_.CreateCondBr(builder_.CreateICmpSLT(startPhase, zero), inTransient, inPeriod);
            builder_.SetInsertPoint(inPeriod);
            llvm::Value* period = periodAt(startPhase);
            builder_.CreateBr(known);
            builder_.SetInsertPoint(inTransient);
            builder_.CreateBr(known);
            builder_.SetInsertPoint(known);
            llvm::PHINode* length = builder_.CreatePHI(int64_, 2);
            length->addIncoming(transient, inTransient);
            length->addIncoming(period, inPeriod);
            startLength = length;
        }
        llvm::BasicBlock* before = builder_.GetInsertBlock();

        // The loop's head: everything the test carries from one step to the next.
        llvm::BasicBlock* head = newBlock("head");
        builder_.CreateBr(head);
        builder_.SetInsertPoint(head);
        std::vector<llvm::PHINode*> phiState;
        for (int i = 0; i < results_; ++i) {
            phiState.push_back(builder_.CreatePHI(carried, 5));
        }
        llvm::PHINode* phase = builder_.CreatePHI(int64_, 5);
        llvm::PHINode* check = builder_.CreatePHI(int64_, 5);
        llvm::PHINode* done = builder_.CreatePHI(int64_, 5);
        llvm::PHINode* confirmed = builder_.CreatePHI(int64_, 5);
        llvm::PHINode* length = builder_.CreatePHI(int64_, 5);
        llvm::PHINode* counter = builder_.CreatePHI(int64_, 5);
        const auto comeBack = [&](llvm::BasicBlock* from, const Values& next, llvm::Value* toPhase,
                                  llvm::Value* toCheck, llvm::Value* toDone,
                                  llvm::Value* toConfirmed, llvm::Value* toLength,
                                  llvm::Value* toCounter) {
            for (int i = 0; i < results_; ++i) {
                phiState[i]->addIncoming(next[i], from);
            }
            phase->addIncoming(toPhase, from);
            check->addIncoming(toCheck, from);
            done->addIncoming(toDone, from);
            confirmed->addIncoming(toConfirmed, from);
            length->addIncoming(toLength, from);
            counter->addIncoming(toCounter, from);
        };
        comeBack(before, startCarried, startPhase, startCheck, startDone, startConfirmed,
                 startLength, zero);
        const Values current(phiState.begin(), phiState.end());

        // Where the test stands is written back at a value that is not finite or a stop.
        failBlock_ = newBlock("fail");
        {
            llvm::IRBuilder<> at(failBlock_);
            // Before any step the state is the start, exactly.
            llvm::Value* untouched = at.CreateICmpEQ(counter, zero);
            for (int i = 0; i < results_; ++i) {
                at.CreateStore(
                    at.CreateSelect(untouched, startState[i], toExtended(at, phiState[i])),
                    at.CreateConstInBoundsGEP1_64(extended_, state, i));
            }
            const Values where = {phase, check, done, confirmed};
            for (int k = 0; k < 4; ++k) {
                at.CreateStore(where[k], at.CreateConstInBoundsGEP1_64(int64_, progress, k));
            }
            at.CreateRet(llvm::ConstantInt::get(int32_, -1));
        }

        llvm::BasicBlock* stepBlock = newBlock("step");
        llvm::BasicBlock* advanced = newBlock("advanced");
        builder_.CreateCondBr(builder_.CreateICmpSLT(done, length), stepBlock, advanced, likely_);

        // One step, the stop asked first every 4096 steps.
        builder_.SetInsertPoint(stepBlock);
        llvm::Value* counted = builder_.CreateAdd(counter, one);
        llvm::BasicBlock* ask = newBlock("ask");
        llvm::BasicBlock* go = newBlock("go");
        builder_.CreateCondBr(
            builder_.CreateICmpEQ(builder_.CreateAnd(counted, llvm::ConstantInt::get(int64_, 4095)),
                                  zero),
            ask, go);
        builder_.SetInsertPoint(ask);
        llvm::CallInst* asked = builder_.CreateCall(pollType, poll, {pollContext});
        asked->addFnAttr(llvm::Attribute::NoUnwind);
        builder_.CreateCondBr(builder_.CreateICmpNE(asked, llvm::ConstantInt::get(int32_, 0)),
                              failBlock_, go);
        builder_.SetInsertPoint(go);
        if (!flow) {
            // As every step's arguments are checked.
            for (int i = 0; i < variables_; ++i) {
                requireFinite(current[i]);
            }
        }
        const Values next =
            flow ? kuttaStep(current, h, parameters)
                 : program(
                       joined(Values(current.begin(), current.begin() + variables_), parameters));
        comeBack(builder_.GetInsertBlock(), next, phase, check, builder_.CreateAdd(done, one),
                 confirmed, length, counted);
        builder_.CreateBr(head);

        // A period begins (phase, which may be past the table) from the settled state.
        llvm::BasicBlock* beginPeriod = newBlock("begin");
        llvm::BasicBlock* none = newBlock("none");
        llvm::BasicBlock* fresh = newBlock("fresh");
        builder_.SetInsertPoint(beginPeriod);
        llvm::PHINode* newPhase = builder_.CreatePHI(int64_, 3);
        builder_.CreateCondBr(builder_.CreateICmpSLT(newPhase, periodCount), fresh, none);
        builder_.SetInsertPoint(none);
        builder_.CreateRet(llvm::ConstantInt::get(int32_, 0));
        builder_.SetInsertPoint(fresh);
        Values settledState;
        for (int i = 0; i < results_; ++i) {
            settledState.push_back(load(extended_, settled, i));
        }
        comeBack(fresh, toCarried(settledState), newPhase, minusOne, zero, zero, periodAt(newPhase),
                 counter);
        builder_.CreateBr(head);

        // An advance is complete.
        builder_.SetInsertPoint(advanced);
        llvm::BasicBlock* transientEnd = newBlock("transientEnd");
        llvm::BasicBlock* compare = newBlock("compare");
        builder_.CreateCondBr(builder_.CreateICmpSLT(phase, zero), transientEnd, compare);
        builder_.SetInsertPoint(transientEnd);
        {
            // A transient that made no step in this call leaves the start, exactly.
            llvm::Value* untouched = builder_.CreateICmpEQ(counter, zero);
            for (int i = 0; i < results_; ++i) {
                store(extended_,
                      builder_.CreateSelect(untouched, startState[i],
                                            toExtended(builder_, current[i])),
                      settled, i);
            }
        }
        newPhase->addIncoming(zero, transientEnd);
        builder_.CreateBr(beginPeriod);

        // The Extended distance of the variables from the settled state, as StateDistance takes it.
        builder_.SetInsertPoint(compare);
        llvm::Value* squares = extendedConstant(0);
        for (int k = 0; k < variables_; ++k) {
            llvm::Value* difference =
                builder_.CreateFSub(toExtended(builder_, current[k]), load(extended_, settled, k));
            squares = builder_.CreateFAdd(squares, builder_.CreateFMul(difference, difference));
        }
        llvm::Value* distance = builder_.CreateUnaryIntrinsic(llvm::Intrinsic::sqrt, squares);
        llvm::Value* near = builder_.CreateFCmpOLT(distance, epsilon);
        llvm::Value* nextPhase = builder_.CreateAdd(phase, one);
        llvm::BasicBlock* first = newBlock("first");
        llvm::BasicBlock* confirming = newBlock("confirming");
        builder_.CreateCondBr(builder_.CreateICmpSLT(check, zero), first, confirming);

        builder_.SetInsertPoint(first);
        llvm::BasicBlock* confirmFrom = newBlock("confirmFrom");
        builder_.CreateCondBr(near, confirmFrom, beginPeriod);
        newPhase->addIncoming(nextPhase, first);
        builder_.SetInsertPoint(confirmFrom);
        comeBack(confirmFrom, current, phase, zero, zero, zero, length, counter);
        builder_.CreateBr(head);

        // Every confirmation is made even after one missed; only the count decides.
        builder_.SetInsertPoint(confirming);
        llvm::Value* nowConfirmed =
            builder_.CreateAdd(confirmed, builder_.CreateZExt(near, int64_));
        llvm::Value* nextCheck = builder_.CreateAdd(check, one);
        llvm::BasicBlock* again = newBlock("again");
        llvm::BasicBlock* judged = newBlock("judged");
        builder_.CreateCondBr(builder_.CreateICmpSLT(nextCheck, confirmations), again, judged);
        builder_.SetInsertPoint(again);
        comeBack(again, current, phase, nextCheck, zero, nowConfirmed, length, counter);
        builder_.CreateBr(head);
        builder_.SetInsertPoint(judged);
        llvm::BasicBlock* found = newBlock("found");
        builder_.CreateCondBr(builder_.CreateICmpEQ(nowConfirmed, confirmations), found,
                              beginPeriod);
        newPhase->addIncoming(nextPhase, judged);
        builder_.SetInsertPoint(found);
        builder_.CreateRet(builder_.CreateTrunc(nextPhase, int32_));
    }

    void generateIterate() {
        auto* extendedPointer = llvm::PointerType::getUnqual(extended_);
        auto* doublePointer = llvm::PointerType::getUnqual(double_);
        llvm::Function* function =
            newFunction("iterate", int64_, {extendedPointer, doublePointer, int64_});
        llvm::Value* state = function->getArg(0);
        llvm::Value* n = function->getArg(2);
        llvm::BasicBlock* entry = newBlock("entry");
        builder_.SetInsertPoint(entry);
        makeFailBlock(int64_);
        Values start;
        for (int i = 0; i < variables_; ++i) {
            start.push_back(loadVariable(state, i));
            requireFinite(start.back());
        }
        const Values parameters = loadFinite(function->getArg(1), parameters_);
        llvm::BasicBlock* before = builder_.GetInsertBlock();
        llvm::BasicBlock* loop = newBlock("loop");
        builder_.CreateBr(loop);
        builder_.SetInsertPoint(loop);
        llvm::PHINode* count = builder_.CreatePHI(int64_, 2);
        count->addIncoming(llvm::ConstantInt::get(int64_, 0), before);
        Values current;
        std::vector<llvm::PHINode*> phis;
        for (int i = 0; i < variables_; ++i) {
            phis.push_back(builder_.CreatePHI(double_, 2));
            phis.back()->addIncoming(start[i], before);
            current.push_back(phis.back());
        }
        const Values results = program(joined(current, parameters));
        llvm::Value* next = builder_.CreateAdd(count, llvm::ConstantInt::get(int64_, 1));
        llvm::BasicBlock* latch = builder_.GetInsertBlock();
        llvm::BasicBlock* done = newBlock("done");
        builder_.CreateCondBr(builder_.CreateICmpSLT(next, n), loop, done);
        count->addIncoming(next, latch);
        for (int i = 0; i < variables_; ++i) {
            phis[i]->addIncoming(results[i], latch);
        }
        builder_.SetInsertPoint(done);
        for (int k = 0; k < results_; ++k) {
            store(extended_, builder_.CreateFPExt(results[k], extended_), state, k);
        }
        builder_.CreateRet(next);
    }

    // The same Extended arithmetic as the steps' Runge-Kutta code, operation for operation:
    //   y  = (h k1 / 2 + in)                        rounded to double
    //   y' = ((in - h k1) + (2 h) k2)               rounded to double
    //   out = ((4 k2 + k1) + k3) h / 6 + in
    // Kutta's step from the Extended values start; returns the Extended sums, each required
    // finite, with the builder after them.
    Values kuttaStep(const Values& start, llvm::Value* h, const Values& parameters) {
        const auto stage = [&](const Values& at) {
            Values variables;
            for (int i = 0; i < variables_; ++i) {
                variables.push_back(at[i]);
                requireFinite(variables.back());
            }
            return program(joined(variables, parameters));
        };
        const auto extend = [&](llvm::Value* value) {
            return builder_.CreateFPExt(value, extended_);
        };
        Values y;
        for (int i = 0; i < variables_; ++i) {
            y.push_back(builder_.CreateFPTrunc(start[i], double_));
        }
        const Values k1 = stage(y);
        for (int i = 0; i < variables_; ++i) {
            llvm::Value* half =
                builder_.CreateFDiv(builder_.CreateFMul(h, extend(k1[i])), extendedConstant(2));
            y[i] = builder_.CreateFPTrunc(builder_.CreateFAdd(half, start[i]), double_);
        }
        const Values k2 = stage(y);
        llvm::Value* twice = builder_.CreateFMul(h, extendedConstant(2));
        for (int i = 0; i < variables_; ++i) {
            llvm::Value* back =
                builder_.CreateFSub(start[i], builder_.CreateFMul(h, extend(k1[i])));
            y[i] = builder_.CreateFPTrunc(
                builder_.CreateFAdd(back, builder_.CreateFMul(twice, extend(k2[i]))), double_);
        }
        const Values k3 = stage(y);
        Values sums;
        for (int i = 0; i < results_; ++i) {
            llvm::Value* sum = builder_.CreateFMul(extend(k2[i]), extendedConstant(4));
            sum = builder_.CreateFAdd(sum, extend(k1[i]));
            sum = builder_.CreateFAdd(sum, extend(k3[i]));
            sum = builder_.CreateFMul(sum, h);
            sum = builder_.CreateFDiv(sum, extendedConstant(6));
            sum = builder_.CreateFAdd(sum, start[i]);
            requireFinite(sum);
            sums.push_back(sum);
        }
        return sums;
    }

    void generateKutta() {
        auto* extendedPointer = llvm::PointerType::getUnqual(extended_);
        auto* doublePointer = llvm::PointerType::getUnqual(double_);
        llvm::Function* function = newFunction(
            "kutta", int32_, {extendedPointer, extendedPointer, doublePointer, extendedPointer});
        // in and out may be the same array.
        function->removeParamAttr(0, llvm::Attribute::NoAlias);
        function->removeParamAttr(1, llvm::Attribute::NoAlias);
        builder_.SetInsertPoint(newBlock("entry"));
        makeFailBlock(int32_);
        llvm::Value* in = function->getArg(0);
        llvm::Value* h = load(extended_, function->getArg(3), 0);
        Values start;
        for (int i = 0; i < results_; ++i) {
            start.push_back(load(extended_, in, i));
        }
        const Values parameters = loadFinite(function->getArg(2), parameters_);
        const Values sums = kuttaStep(start, h, parameters);
        for (int i = 0; i < results_; ++i) {
            store(extended_, sums[i], function->getArg(1), i);
        }
        builder_.CreateRet(llvm::ConstantInt::get(int32_, 1));
    }

    // n Kutta steps, the Extended values passing from each step's sums to the next step.
    void generateKuttaSteps() {
        auto* extendedPointer = llvm::PointerType::getUnqual(extended_);
        auto* doublePointer = llvm::PointerType::getUnqual(double_);
        llvm::Function* function = newFunction(
            "kuttaSteps", int64_, {extendedPointer, doublePointer, extendedPointer, int64_});
        llvm::Value* state = function->getArg(0);
        llvm::Value* n = function->getArg(3);
        builder_.SetInsertPoint(newBlock("entry"));
        makeFailBlock(int64_);
        llvm::Value* h = load(extended_, function->getArg(2), 0);
        Values start;
        for (int i = 0; i < results_; ++i) {
            start.push_back(load(extended_, state, i));
        }
        const Values parameters = loadFinite(function->getArg(1), parameters_);
        llvm::BasicBlock* before = builder_.GetInsertBlock();
        llvm::BasicBlock* loop = newBlock("loop");
        builder_.CreateBr(loop);
        builder_.SetInsertPoint(loop);
        llvm::PHINode* count = builder_.CreatePHI(int64_, 2);
        count->addIncoming(llvm::ConstantInt::get(int64_, 0), before);
        Values current;
        std::vector<llvm::PHINode*> phis;
        for (int i = 0; i < results_; ++i) {
            phis.push_back(builder_.CreatePHI(extended_, 2));
            phis.back()->addIncoming(start[i], before);
            current.push_back(phis.back());
        }
        const Values sums = kuttaStep(current, h, parameters);
        llvm::Value* next = builder_.CreateAdd(count, llvm::ConstantInt::get(int64_, 1));
        llvm::BasicBlock* latch = builder_.GetInsertBlock();
        llvm::BasicBlock* done = newBlock("done");
        builder_.CreateCondBr(builder_.CreateICmpSLT(next, n), loop, done);
        count->addIncoming(next, latch);
        for (int i = 0; i < results_; ++i) {
            phis[i]->addIncoming(sums[i], latch);
        }
        builder_.SetInsertPoint(done);
        for (int i = 0; i < results_; ++i) {
            store(extended_, sums[i], state, i);
        }
        builder_.CreateRet(next);
    }

    const NativeModel& program_;
    const int variables_;
    const int parameters_;
    const int results_;
    llvm::LLVMContext& context_;
    llvm::Module& module_;
    llvm::IRBuilder<> builder_;
    llvm::Type* double_;
    llvm::Type* extended_;
    llvm::IntegerType* int32_;
    llvm::IntegerType* int64_;
    llvm::Function* function_ = nullptr;
    llvm::BasicBlock* failBlock_ = nullptr;
    llvm::MDNode* likely_ = llvm::MDBuilder(context_).createBranchWeights(1 << 20, 1);
};

bool NativeCode::Enabled() {
    return !TurnedOff() && TargetReady();
}

namespace {

// The optimiser's usual pipeline, run on a function's module when it is first looked up.
void Optimise(llvm::Module& module) {
    llvm::LoopAnalysisManager loops;
    llvm::FunctionAnalysisManager functions;
    llvm::CGSCCAnalysisManager calls;
    llvm::ModuleAnalysisManager modules;
    llvm::PassBuilder passes;
    passes.registerModuleAnalyses(modules);
    passes.registerCGSCCAnalyses(calls);
    passes.registerFunctionAnalyses(functions);
    passes.registerLoopAnalyses(loops);
    passes.crossRegisterProxies(loops, functions, calls, modules);
    passes.buildPerModuleDefaultPipeline(llvm::OptimizationLevel::O2).run(module, modules);
}

}  // namespace

std::shared_ptr<const NativeCode> NativeCode::Generate(const NativeModel& program, int variables) {
    if (!program.covered() || variables < 0 || variables > program.argumentCount() ||
        variables > program.resultCount() || !Enabled()) {
        return nullptr;
    }
    const auto started = std::chrono::steady_clock::now();
    auto builder = llvm::orc::JITTargetMachineBuilder::detectHost();
    if (!builder) {
        llvm::consumeError(builder.takeError());
        return nullptr;
    }
    // Never a fused multiply-add, whatever the processor offers: each operation rounds on its own.
    builder->getOptions().AllowFPOpFusion = llvm::FPOpFusion::Strict;
    builder->setCodeGenOptLevel(llvm::CodeGenOpt::Default);
    auto layout = builder->getDefaultDataLayoutForTarget();
    if (!layout) {
        llvm::consumeError(layout.takeError());
        return nullptr;
    }
    const std::string triple = builder->getTargetTriple().str();
    auto jit = llvm::orc::LLJITBuilder().setJITTargetMachineBuilder(std::move(*builder)).create();
    if (!jit) {
        llvm::consumeError(jit.takeError());
        return nullptr;
    }
    // Operations the processor lacks become calls of the C library (floor without SSE4.1).
    auto process = llvm::orc::DynamicLibrarySearchGenerator::GetForCurrentProcess(
        (*jit)->getDataLayout().getGlobalPrefix());
    if (!process) {
        llvm::consumeError(process.takeError());
        return nullptr;
    }
    (*jit)->getMainJITDylib().addGenerator(std::move(*process));
    // Each function is optimised and compiled only when it is first looked up, on the thread
    // that first uses it: a map never pays for the flows' functions, nor a sweep for the scans'.
    (*jit)->getIRTransformLayer().setTransform(
        [](llvm::orc::ThreadSafeModule module, const llvm::orc::MaterializationResponsibility&)
            -> llvm::Expected<llvm::orc::ThreadSafeModule> {
            module.withModuleDo([](llvm::Module& m) { Optimise(m); });
            return module;
        });
    for (int function = 0; function < kFunctionCount; ++function) {
        auto context = std::make_unique<llvm::LLVMContext>();
        auto module = std::make_unique<llvm::Module>(kFunctionNames[function], *context);
        module->setDataLayout(*layout);
        module->setTargetTriple(triple);
        try {
            NativeCodeGenerator(program, variables, *context, *module).generate(function);
        } catch (const Refused&) {
            return nullptr;
        }
        if (llvm::verifyModule(*module, nullptr)) {
            return nullptr;
        }
        if (auto error = (*jit)->addIRModule(
                llvm::orc::ThreadSafeModule(std::move(module), std::move(context)))) {
            llvm::consumeError(std::move(error));
            return nullptr;
        }
    }
    std::shared_ptr<NativeCode> code(new NativeCode);
    code->engine_ = std::make_unique<Engine>();
    code->engine_->jit = std::move(*jit);
    code->program_ = &program;
    code->variables_ = variables;
    code->parameters_ = program.argumentCount() - variables;
    code->results_ = program.resultCount();
    code->compileMilliseconds_ =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    return code;
}

void* NativeCode::resolve(int function) const {
    const std::lock_guard<std::mutex> lock(engine_->lock);
    void* address = functions_[function].load(std::memory_order_relaxed);
    if (address != nullptr || engine_->refused[function]) {
        return address;
    }
    auto symbol = engine_->jit->lookup(kFunctionNames[function]);
    if (!symbol) {
        // The register program makes what this function would have made.
        llvm::consumeError(symbol.takeError());
        engine_->refused[function] = true;
        return nullptr;
    }
    address = reinterpret_cast<void*>(static_cast<std::uintptr_t>(symbol->getAddress()));
    functions_[function].store(address, std::memory_order_release);
    return address;
}

}  // namespace kalvora
