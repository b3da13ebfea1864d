#include "script/json_startup_script.h"

#include <string>

namespace korvane {
namespace {

// Both texts are written with LF line ends here and turned into CR LF once, on first use.
//
// get__count starts at -2 because the core adds two enumerable members to Object.prototype
// (toJSONString and parseJSON) which every for-in loop over an object or array yields after its
// own names; the start value cancels them. No engine has those two of its own, so the core always
// adds them; they call whatever JSON holds when they run.
constexpr std::string_view kCore = R"js(function get__count(o) {
  var n = -2;
  for (v in o) {
    n++;
  }
  return n;
}
if (typeof JSON !== 'object' || JSON === null) {
  JSON = {};
}
(function () {
  'use strict';
  if (typeof Object.prototype.toJSONString !== 'function') {
    Object.prototype.toJSONString = function (filter) {
      return JSON.stringify(this, filter);
    };
    Object.prototype.parseJSON = function (filter) {
      return JSON.parse(this, filter);
    };
  }
}());
)js";

// True when the engine lacks a piece of what the fallback supplies.
constexpr std::string_view kFallbackProbe =
    "typeof JSON.stringify !== 'function' || typeof JSON.parse !== 'function' ||"
    " typeof Date.prototype.toJSON !== 'function'";

// The fallback JSON.parse is a recursive-descent parser over the JSON grammar: the text is never
// evaluated as script, and anything that is not JSON throws SyntaxError("JSON.parse").
constexpr std::string_view kFallback = R"js((function () {
  'use strict';

  var hasOwn = Object.prototype.hasOwnProperty;
  var isArray = function (value) {
    return Object.prototype.toString.call(value) === '[object Array]';
  };

  function twoDigits(n) {
    return n < 10 ? '0' + n : String(n);
  }

  function primitiveValue() {
    return this.valueOf();
  }

  if (typeof Date.prototype.toJSON !== 'function') {
    Date.prototype.toJSON = function () {
      if (!isFinite(this.valueOf())) {
        return null;
      }
      return this.getUTCFullYear() + '-' + twoDigits(this.getUTCMonth() + 1) + '-' +
          twoDigits(this.getUTCDate()) + 'T' + twoDigits(this.getUTCHours()) + ':' +
          twoDigits(this.getUTCMinutes()) + ':' + twoDigits(this.getUTCSeconds()) + 'Z';
    };
    String.prototype.toJSON = primitiveValue;
    Number.prototype.toJSON = primitiveValue;
    Boolean.prototype.toJSON = primitiveValue;
  }

  var shortEscapes = {
    '\b': '\\b', '\t': '\\t', '\n': '\\n', '\f': '\\f', '\r': '\\r', '"': '\\"', '\\': '\\\\'
  };

  // Characters written as \u and four lower-case hexadecimal digits: controls and the
  // invisible or direction-changing characters that some readers mishandle.
  function needsHexEscape(code) {
    return code <= 0x1f || (code >= 0x7f && code <= 0x9f) || code === 0xad ||
        (code >= 0x600 && code <= 0x604) || code === 0x70f || code === 0x17b4 ||
        code === 0x17b5 || (code >= 0x200c && code <= 0x200f) ||
        (code >= 0x2028 && code <= 0x202f) || (code >= 0x2060 && code <= 0x206f) ||
        code === 0xfeff || code >= 0xfff0;
  }

  function quote(text) {
    var parts = ['"'];
    var runStart = 0;
    var i, ch, code, hex;
    for (i = 0; i < text.length; i += 1) {
      ch = text.charAt(i);
      code = text.charCodeAt(i);
      if (hasOwn.call(shortEscapes, ch)) {
        parts.push(text.substring(runStart, i), shortEscapes[ch]);
        runStart = i + 1;
      } else if (needsHexEscape(code)) {
        hex = code.toString(16);
        parts.push(text.substring(runStart, i), '\\u', '0000'.substring(hex.length), hex);
        runStart = i + 1;
      }
    }
    parts.push(text.substring(runStart), '"');
    return parts.join('');
  }

  function enclose(open, close, items, unit, indent, inner) {
    if (items.length === 0) {
      return open + close;
    }
    if (unit === '') {
      return open + items.join(',') + close;
    }
    return open + '\n' + inner + items.join(',\n' + inner) + '\n' + indent + close;
  }

  function serialize(holder, key, state, indent) {
    var value = holder[key];
    var inner, items, i, name, text;
    if (value !== null && typeof value === 'object' && typeof value.toJSON === 'function') {
      value = value.toJSON(key);
    }
    if (typeof state.replacer === 'function') {
      value = state.replacer.call(holder, key, value);
    }
    switch (typeof value) {
      case 'string':
        return quote(value);
      case 'number':
        return isFinite(value) ? String(value) : 'null';
      case 'boolean':
        return String(value);
      case 'object':
        break;
      default:
        return undefined;
    }
    if (value === null) {
      return 'null';
    }
    for (i = 0; i < state.open.length; i += 1) {
      if (state.open[i] === value) {
        throw new TypeError('JSON.stringify');
      }
    }
    state.open.push(value);
    inner = indent + state.unit;
    items = [];
    if (isArray(value)) {
      for (i = 0; i < value.length; i += 1) {
        text = serialize(value, String(i), state, inner);
        items.push(text === undefined ? 'null' : text);
      }
      state.open.pop();
      return enclose('[', ']', items, state.unit, indent, inner);
    }
    var names = [];
    if (state.replacer && typeof state.replacer === 'object') {
      for (i = 0; i < state.replacer.length; i += 1) {
        name = state.replacer[i];
        if (typeof name === 'string' || typeof name === 'number') {
          names.push(String(name));
        }
      }
    } else {
      for (name in value) {
        if (hasOwn.call(value, name)) {
          names.push(name);
        }
      }
    }
    for (i = 0; i < names.length; i += 1) {
      text = serialize(value, names[i], state, inner);
      if (text !== undefined) {
        items.push(quote(names[i]) + (state.unit === '' ? ':' : ': ') + text);
      }
    }
    state.open.pop();
    return enclose('{', '}', items, state.unit, indent, inner);
  }

  if (typeof JSON.stringify !== 'function') {
    JSON.stringify = function (value, replacer, space) {
      var unit = '';
      var i;
      if (replacer && typeof replacer !== 'function' &&
          (typeof replacer !== 'object' || typeof replacer.length !== 'number')) {
        throw new Error('JSON.stringify');
      }
      if (typeof space === 'number') {
        for (i = 0; i < space && i < 10; i += 1) {
          unit += ' ';
        }
      } else if (typeof space === 'string') {
        unit = space.substring(0, 10);
      }
      return serialize({'': value}, '', {replacer: replacer, unit: unit, open: []}, '');
    };
  }

  var simpleUnescapes = {
    '"': '"', '\\': '\\', '/': '/', 'b': '\b', 'f': '\f', 'n': '\n', 'r': '\r', 't': '\t'
  };

  function isHexDigit(ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
  }

  function isDigit(ch) {
    return ch >= '0' && ch <= '9';
  }

  function setMember(target, name, value) {
    if (name === '__proto__' && typeof Object.defineProperty === 'function') {
      Object.defineProperty(target, name,
                            {value: value, writable: true, enumerable: true, configurable: true});
    } else {
      target[name] = value;
    }
  }

  function Parser(text) {
    this.text = text;
    this.pos = 0;
  }

  Parser.prototype.fail = function () {
    throw new SyntaxError('JSON.parse');
  };

  Parser.prototype.skipSpace = function () {
    var ch;
    while (this.pos < this.text.length) {
      ch = this.text.charAt(this.pos);
      if (ch !== ' ' && ch !== '\t' && ch !== '\n' && ch !== '\r') {
        return;
      }
      this.pos += 1;
    }
  };

  Parser.prototype.word = function (word, value) {
    if (this.text.substring(this.pos, this.pos + word.length) !== word) {
      this.fail();
    }
    this.pos += word.length;
    return value;
  };

  Parser.prototype.digits = function () {
    var start = this.pos;
    while (this.pos < this.text.length && isDigit(this.text.charAt(this.pos))) {
      this.pos += 1;
    }
    if (this.pos === start) {
      this.fail();
    }
  };

  Parser.prototype.number = function () {
    var start = this.pos;
    var ch;
    if (this.text.charAt(this.pos) === '-') {
      this.pos += 1;
    }
    if (this.text.charAt(this.pos) === '0') {
      this.pos += 1;
    } else {
      this.digits();
    }
    if (this.text.charAt(this.pos) === '.') {
      this.pos += 1;
      this.digits();
    }
    ch = this.text.charAt(this.pos);
    if (ch === 'e' || ch === 'E') {
      this.pos += 1;
      ch = this.text.charAt(this.pos);
      if (ch === '+' || ch === '-') {
        this.pos += 1;
      }
      this.digits();
    }
    return Number(this.text.substring(start, this.pos));
  };

  Parser.prototype.string = function () {
    var parts = [];
    var text = this.text;
    var start, ch, hex, k;
    this.pos += 1;
    start = this.pos;
    for (;;) {
      if (this.pos >= text.length) {
        this.fail();
      }
      ch = text.charAt(this.pos);
      if (ch === '"') {
        parts.push(text.substring(start, this.pos));
        this.pos += 1;
        return parts.join('');
      }
      if (ch === '\\') {
        parts.push(text.substring(start, this.pos));
        ch = text.charAt(this.pos + 1);
        if (ch === 'u') {
          hex = text.substring(this.pos + 2, this.pos + 6);
          for (k = 0; k < 4; k += 1) {
            if (!isHexDigit(hex.charAt(k))) {
              this.fail();
            }
          }
          parts.push(String.fromCharCode(parseInt(hex, 16)));
          this.pos += 6;
        } else if (hasOwn.call(simpleUnescapes, ch)) {
          parts.push(simpleUnescapes[ch]);
          this.pos += 2;
        } else {
          this.fail();
        }
        start = this.pos;
      } else if (text.charCodeAt(this.pos) < 0x20) {
        this.fail();
      } else {
        this.pos += 1;
      }
    }
  };

  Parser.prototype.array = function () {
    var result = [];
    var ch;
    this.pos += 1;
    this.skipSpace();
    if (this.text.charAt(this.pos) === ']') {
      this.pos += 1;
      return result;
    }
    for (;;) {
      result.push(this.value());
      this.skipSpace();
      ch = this.text.charAt(this.pos);
      this.pos += 1;
      if (ch === ']') {
        return result;
      }
      if (ch !== ',') {
        this.fail();
      }
    }
  };

  Parser.prototype.object = function () {
    var result = {};
    var name, ch;
    this.pos += 1;
    this.skipSpace();
    if (this.text.charAt(this.pos) === '}') {
      this.pos += 1;
      return result;
    }
    for (;;) {
      this.skipSpace();
      if (this.text.charAt(this.pos) !== '"') {
        this.fail();
      }
      name = this.string();
      this.skipSpace();
      if (this.text.charAt(this.pos) !== ':') {
        this.fail();
      }
      this.pos += 1;
      setMember(result, name, this.value());
      this.skipSpace();
      ch = this.text.charAt(this.pos);
      this.pos += 1;
      if (ch === '}') {
        return result;
      }
      if (ch !== ',') {
        this.fail();
      }
    }
  };

  Parser.prototype.value = function () {
    var ch;
    this.skipSpace();
    ch = this.text.charAt(this.pos);
    switch (ch) {
      case '{':
        return this.object();
      case '[':
        return this.array();
      case '"':
        return this.string();
      case 't':
        return this.word('true', true);
      case 'f':
        return this.word('false', false);
      case 'n':
        return this.word('null', null);
      default:
        if (ch === '-' || isDigit(ch)) {
          return this.number();
        }
        return this.fail();
    }
  };

  function revive(holder, key, reviver) {
    var value = holder[key];
    var name, revived;
    if (value !== null && typeof value === 'object') {
      for (name in value) {
        if (hasOwn.call(value, name)) {
          revived = revive(value, name, reviver);
          if (revived === undefined) {
            delete value[name];
          } else {
            value[name] = revived;
          }
        }
      }
    }
    return reviver.call(holder, key, value);
  }

  if (typeof JSON.parse !== 'function') {
    JSON.parse = function (text, reviver) {
      var parser = new Parser(String(text));
      var result = parser.value();
      parser.skipSpace();
      if (parser.pos !== parser.text.length) {
        parser.fail();
      }
      return typeof reviver === 'function' ? revive({'': result}, '', reviver) : result;
    };
  }
}());
)js";

std::string WithCrLf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 20);
  for (char c : text) {
    if (c == '\n')
      out.push_back('\r');
    out.push_back(c);
  }
  return out;
}

}  // namespace

std::string_view JsonStartupCore() {
  static const std::string script = WithCrLf(kCore);
  return script;
}

std::string_view JsonStartupFallback() {
  static const std::string script = WithCrLf(kFallback);
  return script;
}

bool NeedsJsonFallback(platform::ScriptHost& host) {
  return host.EvalBoolean(kFallbackProbe);
}

bool RunJsonStartup(platform::ScriptHost& host) {
  if (!host.AddCode(JsonStartupCore()))
    return false;
  // Compiling the fallback is most of what the start-up would cost, and an engine with JSON of
  // its own never needs it.
  if (!NeedsJsonFallback(host))
    return true;
  return host.AddCode(JsonStartupFallback());
}

}  // namespace korvane
