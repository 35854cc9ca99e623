// completion bash: prints a bash completion script made from the command
// line's own definition (commands, options, what each argument is), so the
// script follows every change of the tool. Registry keys and value names are
// completed from the registry itself: the script runs the hidden command
// `__complete KIND -- WORD [KEY]`, which prints the candidates one a line.
#include <stdio.h>
#include <strings.h>

#include <map>
#include <memory>

#include "cli.h"
#include "registry_io.h"

namespace tqtool {
namespace {

// The kind words the script understands: key, product-key, value, file,
// directory, one:A,B,C (fixed words) and - (nothing to offer).
std::map<const CLI::Option *, std::string> &Marks() {
  static std::map<const CLI::Option *, std::string> marks;
  return marks;
}

std::string KindOf(CLI::Option *opt) {
  auto it = Marks().find(opt);
  if (it != Marks().end()) return it->second;
  // CLI::IsMember describes itself as "{a,b,c}".
  for (int i = 0;; ++i) {
    CLI::Validator *v = nullptr;
    try {
      v = opt->get_validator(i);
    } catch (const CLI::OptionNotFound &) {
      break;
    }
    std::string d = v->get_description();
    if (d.size() > 2 && d.front() == '{' && d.back() == '}') return "one:" + d.substr(1, d.size() - 2);
  }
  return "-";
}

// One word for the shell, single-quoted unless it is plain.
std::string Word(const std::string &s) {
  if (!s.empty() && s.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_=:,./") ==
                        std::string::npos)
    return s;
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Array(const std::vector<std::string> &words) {
  std::string out = "(";
  for (const std::string &w : words) out += (out.size() > 1 ? " " : "") + Word(w);
  return out + ")";
}

// One case branch of _tqprod_grammar per command and below. `inherited`: the
// options of the commands above that this one accepts too, unless it has
// its own of that name (the help flag).
void Describe(CLI::App &app, const std::string &path, std::vector<std::string> inherited, std::string &out) {
  std::vector<std::string> cmds, opts, args;
  for (CLI::Option *opt : app.get_options([](CLI::Option *) { return true; })) {
    if (!opt->nonpositional()) {
      args.push_back(KindOf(opt) + (opt->get_items_expected_max() > 1 ? "*" : ""));
      continue;
    }
    std::string value = opt->get_items_expected_max() > 0 ? "=" + KindOf(opt) : "";
    for (const std::string &s : opt->get_snames()) opts.push_back("-" + s + value);
    for (const std::string &l : opt->get_lnames()) opts.push_back("--" + l + value);
  }
  for (const std::string &o : inherited) {
    bool shadowed = false;
    for (const std::string &own : opts) shadowed |= own.substr(0, own.find('=')) == o.substr(0, o.find('='));
    if (!shadowed) opts.push_back(o);
  }
  std::vector<CLI::App *> subs = app.get_subcommands([](CLI::App *s) { return !s->get_group().empty(); });
  for (CLI::App *sub : subs) cmds.push_back(sub->get_name());
  out += "    " + Word(path) + ") _tq_cmds=" + Array(cmds) + " _tq_opts=" + Array(opts) + " _tq_args=" +
         Array(args) + " ;;\n";
  // A command that lets options fall through accepts those of the commands
  // above it too.
  for (CLI::App *sub : subs)
    Describe(*sub, path + " " + sub->get_name(), sub->get_fallthrough() ? opts : std::vector<std::string>{}, out);
}

const char kBashScript[] = R"BASH(# bash completion for tqprod
# Made by `tqprod completion bash` from the tool's own command definitions.

# _tqprod_grammar PATH: what the command PATH (" ctx add"; "" for tqprod
# itself) accepts: _tq_cmds its subcommands, _tq_opts its options (NAME=KIND
# when the option takes a value), _tq_args the kinds of its arguments in
# order (a trailing * repeats the last one).
_tqprod_grammar() {
  case $1 in
@GRAMMAR@    *) _tq_cmds=() _tq_opts=() _tq_args=() ;;
  esac
}

# _tqprod_dequote WORD: the value of WORD as typed (_tq_value), the quote
# still open at its end (_tq_open: ' or " or empty) and where it opened.
_tqprod_dequote() {
  local w=$1 c i
  _tq_value='' _tq_open='' _tq_open_at=0
  for ((i = 0; i < ${#w}; i++)); do
    c=${w:i:1}
    if [[ $_tq_open == "'" ]]; then
      if [[ $c == "'" ]]; then _tq_open=''; else _tq_value+=$c; fi
    elif [[ $c == '\' ]]; then
      ((++i))
      # Inside double quotes a backslash escapes only " \ $ and `.
      if [[ $_tq_open == '"' ]]; then
        case ${w:i:1} in '"' | '\' | '$' | '`') ;; *) _tq_value+='\' ;; esac
      fi
      _tq_value+=${w:i:1}
    elif [[ $_tq_open == '"' ]]; then
      if [[ $c == '"' ]]; then _tq_open=''; else _tq_value+=$c; fi
    elif [[ $c == "'" || $c == '"' ]]; then
      _tq_open=$c _tq_open_at=$i
    else
      _tq_value+=$c
    fi
  done
}

# _tqprod_reply VALUE...: COMPREPLY to replace the word being completed,
# quoted as it began: raw after an opening ', with \ " $ ` escaped after an
# opening ", shell-quoted otherwise.
_tqprod_reply() {
  local v
  COMPREPLY=()
  for v in "$@"; do
    case $_tq_cur_open in
      "'") ;;
      '"') v=${v//\\/\\\\} v=${v//\"/\\\"} v=${v//\$/\\\$} v=${v//\`/\\\`} ;;
      *) printf -v v '%q' "$v" ;;
    esac
    COMPREPLY+=("$v")
  done
}

# _tqprod_argkind N: the kind of argument N (from 0) of the command.
_tqprod_argkind() {
  local last=$((${#_tq_args[@]} - 1))
  _tq_kind=-
  if (($1 <= last)); then
    _tq_kind=${_tq_args[$1]}
  elif ((last >= 0)) && [[ ${_tq_args[last]} == *'*' ]]; then
    _tq_kind=${_tq_args[last]}
  fi
  _tq_kind=${_tq_kind%'*'}
}

# _tqprod_optkind NAME: the kind of the value of option NAME; empty for a
# flag or an unknown option.
_tqprod_optkind() {
  local o
  _tq_kind=''
  for o in "${_tq_opts[@]}"; do
    [[ $o == "$1="* ]] && _tq_kind=${o#*=}
  done
}

_tqprod() {
  local _tq_cmds _tq_opts _tq_args _tq_value _tq_open _tq_open_at _tq_cur_open _tq_kind
  local tool=${COMP_WORDS[0]} path='' want='' ended='' key='' w i o
  local -a global=() args=() found=()
  [[ $tool == '~/'* ]] && tool=$HOME/${tool#'~/'}
  _tqprod_grammar ''
  # What the words before the current one said: the command, the arguments
  # so far, and the registry options to pass on when asking the tool.
  for ((i = 1; i < COMP_CWORD; i++)); do
    w=${COMP_WORDS[i]}
    if [[ -n $want ]]; then
      # "--opt=value" arrives as three words
      [[ $w == '=' ]] && continue
      _tqprod_dequote "$w"
      [[ $want == --registry || $want == --ctx ]] && global+=("$want" "$_tq_value")
      want=''
    elif [[ -z $ended && $w == -?* ]]; then
      [[ $w == -- ]] && ended=1 && continue
      _tqprod_optkind "$w"
      [[ -n $_tq_kind ]] && want=$w
    else
      _tqprod_dequote "$w"
      if ((${#args[@]} == 0)) && [[ " ${_tq_cmds[*]} " == *" $_tq_value "* ]]; then
        path+=" $_tq_value"
        _tqprod_grammar "$path"
      else
        args+=("$_tq_value")
      fi
    fi
  done

  w=${COMP_WORDS[COMP_CWORD]}
  [[ $w == '=' ]] && w=''
  _tqprod_dequote "$w"
  # A quote opened inside the word: the shell completes only what follows it.
  [[ -n $_tq_open && $_tq_open_at != 0 ]] && return 0
  _tq_cur_open=$_tq_open
  COMPREPLY=()
  if [[ -n $want ]]; then
    _tqprod_optkind "$want"
  elif [[ -z $ended && $w == -* ]]; then
    for o in "${_tq_opts[@]%%=*}"; do
      [[ $o == "$w"* ]] && COMPREPLY+=("$o")
    done
    return 0
  elif ((${#args[@]} == 0 && ${#_tq_cmds[@]} > 0)); then
    for o in "${_tq_cmds[@]}"; do
      [[ $o == "$_tq_value"* ]] && found+=("$o")
    done
    _tqprod_reply "${found[@]}"
    return 0
  else
    # A value name belongs to the last key argument before it.
    for ((i = 0; i < ${#args[@]}; i++)); do
      _tqprod_argkind "$i"
      [[ $_tq_kind == key ]] && key=${args[i]}
    done
    _tqprod_argkind "${#args[@]}"
  fi
  case $_tq_kind in
    key | product-key | value)
      [[ $_tq_kind == value ]] && set -- "$key" || set --
      mapfile -t found < <("$tool" "${global[@]}" __complete "$_tq_kind" -- "$_tq_value" "$@" 2>/dev/null)
      _tqprod_reply "${found[@]}"
      # A key goes on with its subkeys.
      [[ $_tq_kind == value ]] || compopt -o nospace 2>/dev/null
      ;;
    file | directory)
      [[ $_tq_kind == file ]] && o=-f || o=-d
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen "$o" -- "$_tq_value")
      ;;
    one:*)
      IFS=, read -ra args <<<"${_tq_kind#one:}"
      for o in "${args[@]}"; do
        [[ $o == "$_tq_value"* ]] && found+=("$o")
      done
      _tqprod_reply "${found[@]}"
      ;;
  esac
  return 0
}
complete -F _tqprod tqprod
)BASH";

// The candidates for WORD, one a line: the subkeys of the key it names up to
// its last backslash, as typed and followed by a backslash; or the value
// names of KEY. Names match case-insensitively, as the registry does.
int Candidates(const std::string &kind, const std::string &word, const std::string &key) {
  auto matches = [](const std::string &name, const std::string &part) {
    return name.size() >= part.size() && strncasecmp(name.c_str(), part.c_str(), part.size()) == 0 &&
           name.find('\n') == std::string::npos;
  };
  std::vector<std::string> subkeys;
  std::vector<Value> values;
  std::string path, why;
  if (kind == "value") {
    if (!NormalizeKey(key, path, why) || !ListKey(path, subkeys, values, why)) return kFail;
    for (const Value &v : values)
      if (!v.name.empty() && matches(v.name, word)) printf("%s\n", v.name.c_str());
    return kOk;
  }
  const std::string typed = word.substr(0, word.rfind('\\') + 1), part = word.substr(typed.size());
  const std::string base = kind == "product-key" ? "SOFTWARE\\Tarquel\\" : "";
  if (!NormalizeKey(base + typed, path, why) || !ListKey(path, subkeys, values, why)) return kFail;
  for (const std::string &s : subkeys)
    if (matches(s, part)) printf("%s%s\\\n", typed.c_str(), s.c_str());
  return kOk;
}

}  // namespace

CLI::Option *CompleteAs(CLI::Option *opt, Completes what) {
  static const char *const kWords[] = {"key", "product-key", "value", "file", "directory"};
  Marks()[opt] = kWords[static_cast<int>(what)];
  return opt;
}

CLI::Option *CompleteAs(CLI::Option *opt, const std::vector<std::string> &words) {
  std::string kind = "one:";
  for (const std::string &w : words) kind += (kind.size() > 4 ? "," : "") + w;
  Marks()[opt] = kind;
  return opt;
}

void AddCompletionCommand(CLI::App &app, Context &ctx) {
  auto shell = std::make_shared<std::string>();
  CLI::App *completion = AddCommand(app, ctx, "completion", "Print the shell completion script",
                                    [shell, &app] {
    if (*shell != "bash") return Error("completion", "no completion script for \"" + *shell + "\" (shells: bash)", kUsage);
    std::string grammar;
    Describe(app, "", {}, grammar);
    std::string script = kBashScript;
    script.replace(script.find("@GRAMMAR@"), 9, grammar);
    fputs(script.c_str(), stdout);
    return int(kOk);
  });
  CompleteAs(completion->add_option("SHELL", *shell, "The shell: bash"), {"bash"})->required();
  completion->footer("Enable it for the current shell: source <(tqprod completion bash)");

  auto a = std::make_shared<std::vector<std::string>>();
  CLI::App *helper = AddCommand(app, ctx, "__complete", "", [a] {
    a->resize(3);
    return Candidates((*a)[0], (*a)[1], (*a)[2]);
  });
  helper->group("");
  helper->add_option("ARGS", *a)->expected(2, 3);
}

}  // namespace tqtool
