#include "platform/script_host.h"

#include <duktape.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/code_page.h"

namespace korvane::platform {
namespace {

// Every block the engine allocates carries this header, so the engine's memory can be counted
// and, should the engine ever have to be abandoned mid-call, freed without its help.
struct alignas(std::max_align_t) BlockHeader {
  BlockHeader* prev;
  BlockHeader* next;
  size_t size;
};

}  // namespace

struct ScriptHost::Engine {
  duk_context* ctx = nullptr;
  BlockHeader* blocks = nullptr;
  size_t inUse = 0;
  size_t peak = 0;
  size_t limit = 0;
  // Set while a guarded call runs: where the fatal-error handler returns to.
  std::jmp_buf* recovery = nullptr;
  bool retired = false;
  // Set while a call that a stop may end runs: once it is requested, allocations fail.
  const std::stop_token* stop = nullptr;

  bool Refuses() const { return stop && stop->stop_requested(); }

  void Link(BlockHeader* block) {
    block->prev = nullptr;
    block->next = blocks;
    if (blocks)
      blocks->prev = block;
    blocks = block;
  }

  void Unlink(BlockHeader* block) {
    if (block->prev)
      block->prev->next = block->next;
    else
      blocks = block->next;
    if (block->next)
      block->next->prev = block->prev;
  }

  void FreeAllBlocks() {
    while (blocks) {
      BlockHeader* next = blocks->next;
      std::free(blocks);
      blocks = next;
    }
    inUse = 0;
  }
};

namespace {

using Engine = ScriptHost::Engine;

void* EngineAlloc(void* udata, duk_size_t size) {
  auto* engine = static_cast<Engine*>(udata);
  if (size == 0)
    return nullptr;
  if (size > engine->limit - engine->inUse || engine->Refuses())
    return nullptr;
  auto* block = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
  if (!block)
    return nullptr;
  block->size = size;
  engine->Link(block);
  engine->inUse += size;
  if (engine->inUse > engine->peak)
    engine->peak = engine->inUse;
  return block + 1;
}

void EngineFree(void* udata, void* ptr) {
  if (!ptr)
    return;
  auto* engine = static_cast<Engine*>(udata);
  BlockHeader* block = static_cast<BlockHeader*>(ptr) - 1;
  engine->Unlink(block);
  engine->inUse -= block->size;
  std::free(block);
}

void* EngineRealloc(void* udata, void* ptr, duk_size_t size) {
  if (!ptr)
    return EngineAlloc(udata, size);
  if (size == 0) {
    EngineFree(udata, ptr);
    return nullptr;
  }
  auto* engine = static_cast<Engine*>(udata);
  BlockHeader* block = static_cast<BlockHeader*>(ptr) - 1;
  const size_t oldSize = block->size;
  if (size > oldSize && (size - oldSize > engine->limit - engine->inUse || engine->Refuses()))
    return nullptr;
  engine->Unlink(block);
  auto* moved = static_cast<BlockHeader*>(std::realloc(block, sizeof(BlockHeader) + size));
  if (!moved) {
    engine->Link(block);
    return nullptr;
  }
  moved->size = size;
  engine->Link(moved);
  engine->inUse = engine->inUse - oldSize + size;
  if (engine->inUse > engine->peak)
    engine->peak = engine->inUse;
  return moved + 1;
}

// The engine calls this on an internal failure it cannot turn into a script error. It must not
// return; it goes back to the guarded call that is running, which retires the engine.
void EngineFatal(void* udata, const char* /*message*/) {
  auto* engine = static_cast<Engine*>(udata);
  if (engine && engine->recovery)
    std::longjmp(*engine->recovery, 1);
  std::abort();  // unreachable: every entry into the engine is guarded
}

// Runs `fn` as a protected call with a way back from the fatal-error handler. Only trivially
// destructible objects live in this frame, so jumping back into it is sound. Returns the
// protected call's status; on a fatal error the engine is retired and DUK_EXEC_ERROR returned.
duk_int_t GuardedSafeCall(Engine* engine, duk_safe_call_function fn, void* udata) {
  std::jmp_buf recovery;
  if (setjmp(recovery) != 0) {
    engine->recovery = nullptr;
    engine->retired = true;
    engine->ctx = nullptr;
    engine->FreeAllBlocks();
    return DUK_EXEC_ERROR;
  }
  engine->recovery = &recovery;
  const duk_int_t rc = duk_safe_call(engine->ctx, fn, udata, 0, 1);
  engine->recovery = nullptr;
  return rc;
}

enum class JobKind { kProgram, kEval, kCall };

struct Job {
  JobKind kind;
  std::string_view source;  // engine text
  const std::string* args;  // engine texts
  size_t argCount;
  ValueForm form;
  std::string* ownedArg = nullptr;  // one more engine text, released once the engine has it
};

// The value at the top of the stack replaced by its text form (see ValueForm::kText).
void ToTextForm(duk_context* ctx) {
  switch (duk_get_type(ctx, -1)) {
    case DUK_TYPE_UNDEFINED:
    case DUK_TYPE_NULL:
    case DUK_TYPE_NONE:
      duk_pop(ctx);
      duk_push_string(ctx, "");
      break;
    case DUK_TYPE_BOOLEAN: {
      const bool value = duk_get_boolean(ctx, -1);
      duk_pop(ctx);
      duk_push_string(ctx, value ? "-1" : "0");
      break;
    }
    case DUK_TYPE_STRING:
      break;
    default:
      duk_to_string(ctx, -1);
      break;
  }
}

double StringToNumber(duk_context* ctx) {
  duk_dup(ctx, -1);
  const double value = duk_to_number(ctx, -1);
  duk_pop(ctx);
  return std::isnan(value) ? 0 : value;
}

void ToNumberForm(duk_context* ctx) {
  double value = 0;
  switch (duk_get_type(ctx, -1)) {
    case DUK_TYPE_NUMBER:
      value = duk_get_number(ctx, -1);
      break;
    case DUK_TYPE_BOOLEAN:
      value = duk_get_boolean(ctx, -1) ? -1 : 0;
      break;
    case DUK_TYPE_STRING:
      value = StringToNumber(ctx);
      break;
    default:
      break;
  }
  duk_pop(ctx);
  duk_push_number(ctx, value);
}

void ToBooleanForm(duk_context* ctx) {
  bool value = false;
  switch (duk_get_type(ctx, -1)) {
    case DUK_TYPE_BOOLEAN:
      value = duk_get_boolean(ctx, -1);
      break;
    case DUK_TYPE_NUMBER: {
      const double number = duk_get_number(ctx, -1);
      value = number != 0 && !std::isnan(number);
      break;
    }
    case DUK_TYPE_STRING: {
      duk_size_t length = 0;
      const char* text = duk_get_lstring(ctx, -1, &length);
      value = (length == 4 && strncasecmp(text, "true", 4) == 0) || StringToNumber(ctx) != 0;
      break;
    }
    default:
      break;
  }
  duk_pop(ctx);
  duk_push_boolean(ctx, value);
}

void ToTextListForm(duk_context* ctx) {
  if (!duk_is_array(ctx, -1)) {
    duk_pop(ctx);
    duk_push_array(ctx);
    return;
  }
  const duk_size_t count = duk_get_length(ctx, -1);
  duk_push_array(ctx);
  for (duk_size_t i = 0; i < count; ++i) {
    duk_get_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
    ToTextForm(ctx);
    duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
  }
  duk_remove(ctx, -2);
}

duk_ret_t RunJob(duk_context* ctx, void* udata) {
  const Job& job = *static_cast<const Job*>(udata);
  duk_push_lstring(ctx, job.source.data(), job.source.size());
  switch (job.kind) {
    case JobKind::kProgram:
      duk_compile_raw(ctx, nullptr, 0, 1 | DUK_COMPILE_NOFILENAME);
      duk_call(ctx, 0);
      break;
    case JobKind::kEval:
      duk_eval_raw(ctx, nullptr, 0, 1 | DUK_COMPILE_EVAL | DUK_COMPILE_NOFILENAME);
      break;
    case JobKind::kCall:
      duk_eval_raw(ctx, nullptr, 0, 1 | DUK_COMPILE_EVAL | DUK_COMPILE_NOFILENAME);
      if (!duk_is_callable(ctx, -1))
        return duk_type_error(ctx, "not a function");
      duk_require_stack(ctx, static_cast<duk_idx_t>(job.argCount) + 2);
      for (size_t i = 0; i < job.argCount; ++i)
        duk_push_lstring(ctx, job.args[i].data(), job.args[i].size());
      if (job.ownedArg) {
        duk_push_lstring(ctx, job.ownedArg->data(), job.ownedArg->size());
        std::string().swap(*job.ownedArg);
      }
      duk_call(ctx, static_cast<duk_idx_t>(job.argCount + (job.ownedArg ? 1 : 0)));
      break;
  }
  switch (job.form) {
    case ValueForm::kDiscard:
      duk_pop(ctx);
      duk_push_undefined(ctx);
      break;
    case ValueForm::kText:
      ToTextForm(ctx);
      break;
    case ValueForm::kNumber:
      ToNumberForm(ctx);
      break;
    case ValueForm::kBoolean:
      ToBooleanForm(ctx);
      break;
    case ValueForm::kTextList:
      ToTextListForm(ctx);
      break;
  }
  return 1;
}

duk_ret_t RaiseFatal(duk_context* ctx, void* /*udata*/) {
  duk_fatal(ctx, "raised for a test");
  return 0;
}

std::string ReadText(duk_context* ctx, duk_idx_t index) {
  duk_size_t length = 0;
  const char* bytes = duk_get_lstring(ctx, index, &length);
  return bytes ? EngineTextToGbk(std::string_view(bytes, length)) : std::string();
}

ScriptResult RunOnEngine(Engine* engine, JobKind kind, std::string_view source,
                         const std::string* args, size_t argCount, ValueForm form,
                         std::string* ownedArg = nullptr, const std::stop_token* stop = nullptr) {
  ScriptResult result;
  if (!engine || engine->retired || !engine->ctx)
    return result;
  const std::string engineSource = GbkToEngineText(source);
  Job job{kind, engineSource, args, argCount, form, ownedArg};
  engine->stop = stop;
  const duk_int_t rc = GuardedSafeCall(engine, RunJob, &job);
  engine->stop = nullptr;
  if (engine->retired)
    return result;
  duk_context* ctx = engine->ctx;
  if (rc == DUK_EXEC_SUCCESS) {
    result.ok = true;
    switch (form) {
      case ValueForm::kDiscard:
        break;
      case ValueForm::kText:
        result.text = ReadText(ctx, -1);
        break;
      case ValueForm::kNumber:
        result.number = duk_get_number(ctx, -1);
        break;
      case ValueForm::kBoolean:
        result.boolean = duk_get_boolean(ctx, -1);
        break;
      case ValueForm::kTextList: {
        const duk_size_t count = duk_get_length(ctx, -1);
        result.texts.reserve(count);
        for (duk_size_t i = 0; i < count; ++i) {
          duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i));
          result.texts.push_back(ReadText(ctx, -1));
          duk_pop(ctx);
        }
        break;
      }
    }
  }
  duk_pop(ctx);
  return result;
}

void AppendEngineUnit(std::string& out, char16_t unit) {
  if (unit < 0x80) {
    out.push_back(static_cast<char>(unit));
  } else if (unit < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (unit >> 6)));
    out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (unit >> 12)));
    out.push_back(static_cast<char>(0x80 | ((unit >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (unit & 0x3F)));
  }
}

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

}  // namespace

ScriptHost::ScriptHost(std::unique_ptr<Engine> engine) : engine_(std::move(engine)) {}

ScriptHost::~ScriptHost() {
  if (!engine_ || engine_->retired || !engine_->ctx)
    return;
  // Destroying the heap runs finalizers; guard it like any other call so an internal failure
  // there frees the memory instead of ending the process.
  std::jmp_buf recovery;
  if (setjmp(recovery) != 0) {
    engine_->FreeAllBlocks();
    return;
  }
  engine_->recovery = &recovery;
  duk_destroy_heap(engine_->ctx);
  engine_->recovery = nullptr;
  engine_->ctx = nullptr;
}

std::shared_ptr<ScriptHost> ScriptHost::Create(size_t memoryLimit) {
  auto engine = std::make_unique<Engine>();
  engine->limit = memoryLimit;
  engine->ctx = duk_create_heap(EngineAlloc, EngineRealloc, EngineFree, engine.get(), EngineFatal);
  if (!engine->ctx)
    return nullptr;
  return std::shared_ptr<ScriptHost>(new ScriptHost(std::move(engine)));
}

bool ScriptHost::AddCode(std::string_view statements) {
  return RunOnEngine(engine_.get(), JobKind::kProgram, statements, nullptr, 0, ValueForm::kDiscard)
      .ok;
}

ScriptResult ScriptHost::Eval(std::string_view text, ValueForm form) {
  return RunOnEngine(engine_.get(), JobKind::kEval, text, nullptr, 0, form);
}

ScriptResult ScriptHost::Call(std::string_view function,
                              std::initializer_list<std::string_view> args, ValueForm form) {
  std::vector<std::string> engineArgs;
  engineArgs.reserve(args.size());
  for (std::string_view arg : args)
    engineArgs.push_back(GbkToEngineText(arg));
  return RunOnEngine(engine_.get(), JobKind::kCall, function, engineArgs.data(), engineArgs.size(),
                     form);
}

ScriptResult ScriptHost::CallWithEngineText(std::string_view function, std::string&& engineArg,
                                            ValueForm form, std::stop_token stop) {
  if (stop.stop_requested())
    return {};
  return RunOnEngine(engine_.get(), JobKind::kCall, function, nullptr, 0, form, &engineArg, &stop);
}

bool ScriptHost::Retired() const {
  return engine_->retired;
}

size_t ScriptHost::MemoryInUse() const {
  return engine_->inUse;
}

size_t ScriptHost::PeakMemory() const {
  return engine_->peak;
}

void ScriptHost::RaiseFatalErrorForTest() {
  if (engine_->retired || !engine_->ctx)
    return;
  GuardedSafeCall(engine_.get(), RaiseFatal, nullptr);
  if (!engine_->retired)
    duk_pop(engine_->ctx);
}

ScriptHostFactory DefaultScriptHostFactory() {
  return [] { return ScriptHost::Create(); };
}

// Both conversions copy ASCII runs as they are (the same bytes in GBK and UTF-8) and hand only
// the runs between them to the code-page converter, so markup-heavy texts cost little.

std::string GbkToEngineText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const size_t start = i;
    while (i < n && static_cast<unsigned char>(text[i]) < 0x80)
      ++i;
    out.append(text, start, i - start);
    if (i == n)
      break;
    // A byte of 0x80 or above starts a character that takes the next byte with it, so a run
    // never splits a double-byte character, even one whose second byte is ASCII.
    const size_t runStart = i;
    while (i < n && static_cast<unsigned char>(text[i]) >= 0x80)
      i += i + 1 < n ? 2 : 1;
    const auto units = DecodeCodePage(kCodePageGbk, text.substr(runStart, i - runStart));
    if (units) {
      for (char16_t unit : *units)
        AppendEngineUnit(out, unit);
    }
  }
  return out;
}

std::string GbkToEngineText(std::string_view text, std::stop_token stop) {
  constexpr size_t kPiece = size_t{1} << 20;
  std::string out;
  out.reserve(text.size() + text.size() / 2);  // the most it can grow: two GBK bytes to three
  size_t at = 0;
  while (at < text.size()) {
    if (stop.stop_requested())
      return {};
    // A piece ends after two bytes below 0x80: the second of them cannot be the trail byte of a
    // double-byte character (whatever the first is), so no character is split. A text without
    // such a place goes in one piece.
    size_t end = std::min(text.size(), at + kPiece);
    while (end < text.size() && !(static_cast<unsigned char>(text[end - 1]) < 0x80 &&
                                  static_cast<unsigned char>(text[end - 2]) < 0x80))
      ++end;
    out += GbkToEngineText(text.substr(at, end - at));
    at = end;
  }
  return out;
}

std::string EngineTextToGbk(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::u16string units;
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    const size_t start = i;
    while (i < n && static_cast<unsigned char>(bytes[i]) < 0x80)
      ++i;
    out.append(bytes, start, i - start);
    if (i == n)
      break;
    // A run of bytes of 0x80 and above holds whole UTF-8 sequences: ASCII never continues one.
    size_t runEnd = i;
    while (runEnd < n && static_cast<unsigned char>(bytes[runEnd]) >= 0x80)
      ++runEnd;
    units.clear();
    while (i < runEnd) {
      const auto c = static_cast<unsigned char>(bytes[i]);
      auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[i + k]); };
      if (c >= 0xC2 && c < 0xE0 && i + 1 < runEnd && IsContinuation(at(1))) {
        units.push_back(static_cast<char16_t>(((c & 0x1F) << 6) | (at(1) & 0x3F)));
        i += 2;
      } else if (c >= 0xE0 && c < 0xF0 && i + 2 < runEnd && IsContinuation(at(1)) &&
                 IsContinuation(at(2)) && (c != 0xE0 || at(1) >= 0xA0)) {
        // Surrogate halves written as three bytes each (CESU-8) pass through as code units and
        // are joined into a pair by the GBK encoder when they form one.
        units.push_back(
            static_cast<char16_t>(((c & 0x0F) << 12) | ((at(1) & 0x3F) << 6) | (at(2) & 0x3F)));
        i += 3;
      } else if (c >= 0xF0 && c < 0xF5 && i + 3 < runEnd && IsContinuation(at(1)) &&
                 IsContinuation(at(2)) && IsContinuation(at(3))) {
        const uint32_t cp = ((c & 0x07u) << 18) | ((at(1) & 0x3Fu) << 12) | ((at(2) & 0x3Fu) << 6) |
                            (at(3) & 0x3Fu);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
          units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
          units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
          units.push_back(u'\uFFFD');
        }
        i += 4;
      } else {
        units.push_back(u'\uFFFD');
        i += 1;
      }
    }
    if (auto text = EncodeCodePage(kCodePageGbk, units))
      out += *text;
  }
  return out;
}

}  // namespace korvane::platform
