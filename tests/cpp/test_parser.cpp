// The parser through printed trees: grammar levels, commands and their arguments, \left … \right,
// environments, and every message with its position.
#include "check.hpp"
#include "dialect.hpp"
#include "parser.hpp"
#include "vocabulary.hpp"

namespace vok::test {
namespace {

// The printed tree of a formula, or "error: <message>".
std::string parse(std::string_view input) {
  auto tokens = tokenize(input, *dialect_rules(Dialect::Exact).lexer);
  if (!tokens) return "error: " + tokens.error().message;
  std::size_t numbers = 0;
  auto tree = parse_exact(*tokens, input, kExactVocabulary, numbers);
  if (!tree) return "error: " + tree.error().message;
  return print(**tree);
}

struct Case {
  std::string_view input;
  std::string_view tree;
};

const Case kCases[] = {
    // Nothing, and tokens that cannot start an expression (left unread).
    {"", "Empty"},
    {"{}", "Group(Empty)"},
    {"}", "Empty"},
    {"^2", "Empty"},
    {"^", "Empty"},

    // Atoms and juxtaposition.
    {"a", "Symbol(\"a\")"},
    {"ab", "Sequence[Symbol(\"a\"), Symbol(\"b\")]"},
    {"a b", "Sequence[Symbol(\"a\"), Symbol(\"b\")]"},
    {"2x", "Sequence[Number(\"2\"), Symbol(\"x\")]"},
    {"n!", "Sequence[Symbol(\"n\"), Symbol(\"!\")]"},
    {"f(x,y)",
     "Sequence[Symbol(\"f\"), Parens(Sequence[Symbol(\"x\"), Symbol(\",\"), Symbol(\"y\")])]"},
    {"[a]", "Brackets(Symbol(\"a\"))"},
    {"<>/&.:;",
     "Sequence[Symbol(\"<\"), Symbol(\">\"), Symbol(\"/\"), Symbol(\"&\"), Symbol(\".\"), "
     "Symbol(\":\"), Symbol(\";\")]"},
    {"\\{\\,x", "Sequence[Symbol(\"{\"), Space(1), Symbol(\"x\")]"},
    {"{{{x}}}", "Group(Group(Group(Symbol(\"x\"))))"},
    {"a}b", "Symbol(\"a\")"},

    // Infix operators: equal precedence, left-associative, empty operands allowed.
    {"a+b", "Infix(Plus, Symbol(\"a\"), Symbol(\"b\"))"},
    {"2*3", "Infix(Times, Number(\"2\"), Number(\"3\"))"},
    {"a-b-c", "Infix(Minus, Infix(Minus, Symbol(\"a\"), Symbol(\"b\")), Symbol(\"c\"))"},
    {"a=b+c", "Infix(Plus, Infix(Equals, Symbol(\"a\"), Symbol(\"b\")), Symbol(\"c\"))"},
    {"a+", "Infix(Plus, Symbol(\"a\"), Empty)"},
    {"=b", "Infix(Equals, Empty, Symbol(\"b\"))"},
    {"ab+cd",
     "Infix(Plus, Sequence[Symbol(\"a\"), Symbol(\"b\")], Sequence[Symbol(\"c\"), Symbol(\"d\")])"},

    // Unary minus and plus at the start of a juxtaposition.
    {"-", "Symbol(\"-\")"},
    {"- =", "Infix(Equals, Symbol(\"-\"), Empty)"},
    {"-x", "Negate(Symbol(\"x\"))"},
    {"+x", "Sequence[Symbol(\"+\"), Symbol(\"x\")]"},
    {"--x", "Negate(Negate(Symbol(\"x\")))"},
    {"a--b", "Infix(Minus, Symbol(\"a\"), Negate(Symbol(\"b\")))"},
    {"-x^2", "Superscript(Negate(Symbol(\"x\")), Number(\"2\"))"},
    {"-}", "Symbol(\"-\")"},

    // Bars.
    {"|x|", "Command(\"|\", [], [Symbol(\"x\")])"},
    {"||x||", "Command(\"|\", [], [Command(\"|\", [], [Symbol(\"x\")])])"},
    {"|a b|", "Command(\"|\", [], [Sequence[Symbol(\"a\"), Symbol(\"b\")]])"},
    {"a|b|", "Symbol(\"a\")"},

    // Scripts and primes: single atoms, at most one of each script, primes inside.
    {"x^2", "Superscript(Symbol(\"x\"), Number(\"2\"))"},
    {"x_1^2", "SubSup(Symbol(\"x\"), Number(\"1\"), Number(\"2\"))"},
    {"x^2_1", "SubSup(Symbol(\"x\"), Number(\"1\"), Number(\"2\"))"},
    {"x^10", "Superscript(Symbol(\"x\"), Number(\"10\"))"},
    {"x^ab", "Sequence[Superscript(Symbol(\"x\"), Symbol(\"a\")), Symbol(\"b\")]"},
    {"x^{ab}", "Superscript(Symbol(\"x\"), Group(Sequence[Symbol(\"a\"), Symbol(\"b\")]))"},
    {"x^-1", "Superscript(Symbol(\"x\"), Negate(Number(\"1\")))"},
    {"a^b^c", "Superscript(Symbol(\"a\"), Symbol(\"b\"))"},
    {"a_b_c", "Subscript(Symbol(\"a\"), Symbol(\"b\"))"},
    {"f'", "Primes(Symbol(\"f\"), 1)"},
    {"f''", "Primes(Symbol(\"f\"), 2)"},
    {"f'^2", "Superscript(Primes(Symbol(\"f\"), 1), Number(\"2\"))"},
    {"f^2'", "Superscript(Primes(Symbol(\"f\"), 1), Number(\"2\"))"},
    {"f'_1'^2", "SubSup(Primes(Symbol(\"f\"), 2), Number(\"1\"), Number(\"2\"))"},
    {"x^\\alpha", "Superscript(Symbol(\"x\"), Command(\"alpha\", [], []))"},

    // Commands: arguments as the glyph asks, braces dropped, unbraced arguments one atom.
    {"\\alpha", "Command(\"alpha\", [], [])"},
    {"\\nosuchcommand", "Command(\"nosuchcommand\", [], [])"},
    {"\\Alpha", "Command(\"Alpha\", [], [])"},
    {"\\foo{x}", "Sequence[Command(\"foo\", [], []), Group(Symbol(\"x\"))]"},
    {"\\frac{1}{2}", "Command(\"frac\", [], [Number(\"1\"), Number(\"2\")])"},
    {"\\frac{}{}", "Command(\"frac\", [], [Empty, Empty])"},
    {"\\frac ab", "Command(\"frac\", [], [Symbol(\"a\"), Symbol(\"b\")])"},
    {"\\frac1 2", "Command(\"frac\", [], [Number(\"1\"), Number(\"2\")])"},
    {"\\frac{a+b}c",
     "Command(\"frac\", [], [Infix(Plus, Symbol(\"a\"), Symbol(\"b\")), Symbol(\"c\")])"},
    {"\\sqrt[3]{x}", "Command(\"sqrt\", [Number(\"3\")], [Symbol(\"x\")])"},
    {"\\sqrt[]{x}", "Command(\"sqrt\", [Empty], [Symbol(\"x\")])"},
    {"\\sqrt{x}[3]", "Sequence[Command(\"sqrt\", [], [Symbol(\"x\")]), Brackets(Number(\"3\"))]"},
    {"\\sqrt x^2", "Superscript(Command(\"sqrt\", [], [Symbol(\"x\")]), Number(\"2\"))"},
    {"\\sqrt\\sqrt x", "Command(\"sqrt\", [], [Command(\"sqrt\", [], [Symbol(\"x\")])])"},
    {"\\binom nk", "Command(\"binom\", [], [Symbol(\"n\"), Symbol(\"k\")])"},
    {"\\hat{x}", "Command(\"hat\", [], [Symbol(\"x\")])"},
    {"\\mathbb R", "Command(\"mathbb\", [], [Symbol(\"R\")])"},
    {"\\abs{x}", "Command(\"abs\", [], [Symbol(\"x\")])"},
    {"\\frac{\\frac12}{3}", "error: Unexpected token at position 4: Some(RBrace)"},
    {"\\sin x", "Sequence[Command(\"sin\", [], []), Symbol(\"x\")]"},
    {"\\end", "Command(\"end\", [], [])"},

    // Big operators: no arguments after the name; a braced body after the scripts.
    {"\\sum", "Command(\"sum\", [], [])"},
    {"\\sum{i}", "Command(\"sum\", [], [Symbol(\"i\")])"},
    {"\\sum_{i=1}^{n} {i^2}",
     "SubSup(Command(\"sum\", [], [Superscript(Symbol(\"i\"), Number(\"2\"))]), "
     "Group(Infix(Equals, Symbol(\"i\"), Number(\"1\"))), Group(Symbol(\"n\")))"},
    {"\\sum^n_1 {k} x",
     "Sequence[SubSup(Command(\"sum\", [], [Symbol(\"k\")]), Number(\"1\"), "
     "Symbol(\"n\")), Symbol(\"x\")]"},
    {"\\sum[a]", "Command(\"sum\", [Symbol(\"a\")], [])"},
    {"\\sum[a]{b}", "Command(\"sum\", [], [Symbol(\"b\")])"},
    {"\\sum{a}{b}", "Sequence[Command(\"sum\", [], [Symbol(\"a\")]), Group(Symbol(\"b\"))]"},
    {"\\int_0^1 x dx",
     "Sequence[SubSup(Command(\"int\", [], []), Number(\"0\"), Number(\"1\")), "
     "Symbol(\"x\"), Symbol(\"d\"), Symbol(\"x\")]"},
    {"\\int_0^1 {f}",
     "SubSup(Command(\"int\", [], [Symbol(\"f\")]), Number(\"0\"), Number(\"1\"))"},
    {"\\lim_{x\\to 0} f",
     "Sequence[Subscript(Command(\"lim\", [], []), Group(Sequence[Symbol(\"x\"), "
     "Command(\"to\", [], []), Number(\"0\")])), Symbol(\"f\")]"},
    {"\\lim{x}", "Sequence[Command(\"lim\", [], []), Group(Symbol(\"x\"))]"},
    {"{\\sum}_i{x}",
     "Sequence[Subscript(Group(Command(\"sum\", [], [])), Symbol(\"i\")), Group(Symbol(\"x\"))]"},
    {"\\prod_i{x}",
     "Sequence[Subscript(Command(\"prod\", [], []), Symbol(\"i\")), Group(Symbol(\"x\"))]"},

    // \left … \right.
    {"\\left( x \\right)", "Delimited('(', ')', Symbol(\"x\"))"},
    {"\\left\\{ x \\right\\}", "Delimited('{', '}', Symbol(\"x\"))"},
    {"\\left[ x \\right]", "Delimited('[', ']', Symbol(\"x\"))"},
    {"\\left\\[ x \\right\\]", "Delimited('[', ']', Symbol(\"x\"))"},
    {"\\left| x \\right|", "Delimited('|', '|', Symbol(\"x\"))"},
    {"\\left\\| x \\right\\|", "Delimited('|', '|', Symbol(\"x\"))"},
    {"\\left| x \\right\\|", "Delimited('|', '|', Symbol(\"x\"))"},
    {"\\left( \\right)", "Delimited('(', ')', Empty)"},
    {"\\left( \\left[ a \\right] \\right)",
     "Delimited('(', ')', Delimited('[', ']', Symbol(\"a\")))"},
    {"\\left(a\\right)b", "Sequence[Delimited('(', ')', Symbol(\"a\")), Symbol(\"b\")]"},
    {"\\left(a } b\\right)", "Delimited('(', ')', Symbol(\"a\"))"},
    {"\\left(a\\right)^2", "Superscript(Delimited('(', ')', Symbol(\"a\")), Number(\"2\"))"},

    // Environments.
    {"\\begin{matrix} a & b \\\\ c & d \\end{matrix}",
     "Matrix(\"matrix\", [[Symbol(\"a\"), Symbol(\"b\")], [Symbol(\"c\"), Symbol(\"d\")]])"},
    {"\\begin{pmatrix} a & & b \\end{pmatrix}",
     "Matrix(\"pmatrix\", [[Symbol(\"a\"), Empty, Symbol(\"b\")]])"},
    {"\\begin{bmatrix} a \\\\ \\end{bmatrix}", "Matrix(\"bmatrix\", [[Symbol(\"a\")]])"},
    {"\\begin{matrix} a & \\end{matrix}", "Matrix(\"matrix\", [[Symbol(\"a\")]])"},
    {"\\begin{matrix} & \\end{matrix}", "Matrix(\"matrix\", [[Empty]])"},
    {"\\begin{matrix}\\end{matrix}", "Matrix(\"matrix\", [[]])"},
    {"\\begin{matrix}\\\\\\end{matrix}", "Matrix(\"matrix\", [[Empty]])"},
    {"\\begin{matrix} \\\\ a \\end{matrix}", "Matrix(\"matrix\", [[Empty], [Symbol(\"a\")]])"},
    {"\\begin{matrix} {a & b} \\end{matrix}",
     "Matrix(\"matrix\", [[Group(Sequence[Symbol(\"a\"), Symbol(\"&\"), Symbol(\"b\")])]])"},
    {"\\begin{matrix} \\left( a & b \\right) \\end{matrix}",
     "Matrix(\"matrix\", [[Delimited('(', ')', Sequence[Symbol(\"a\"), Symbol(\"&\"), "
     "Symbol(\"b\")])]])"},
    {"\\begin{matrix} \\left| a & b \\right| \\end{matrix}",
     "error: unclosed \\left ... \\right pair"},
    {"\\begin{matrix} \\begin{matrix} a & b \\end{matrix} & c \\end{matrix}",
     "Matrix(\"matrix\", [[Matrix(\"matrix\", [[Symbol(\"a\"), Symbol(\"b\")]]), Symbol(\"c\")]])"},
    {"\\begin{matrix} a } b & c \\end{matrix}",
     "Matrix(\"matrix\", [[Symbol(\"a\"), Symbol(\"c\")]])"},
    {"\\begin{matrix} a ] & b \\end{matrix}",
     "Matrix(\"matrix\", [[Symbol(\"a\"), Symbol(\"b\")]])"},
    {"\\begin {matrix} a \\end {matrix}", "Matrix(\"matrix\", [[Symbol(\"a\")]])"},

    // Messages: position and end of input.
    {"x^", "error: Unexpected token at position 2: None"},
    {"a^^b", "error: Unexpected token at position 2: Some(Caret)"},
    {"a_}", "error: Unexpected token at position 2: Some(RBrace)"},
    {"x^\\end", "Superscript(Symbol(\"x\"), Command(\"end\", [], []))"},
    {"{a", "error: expected RBrace but reached end of input near '{a'"},
    {"(a", "error: expected RParen but reached end of input near '(a'"},
    {"[abcdef", "error: expected RBracket but reached end of input near 'bcdef'"},
    {"|a", "error: expected Pipe but reached end of input near '|a'"},
    {"{a]", "error: expected RBrace, got RBracket near ']' at byte 2"},
    {"(a}", "error: expected RParen, got RBrace near '}' at byte 2"},
    {"|a)", "error: expected Pipe, got RParen near ')' at byte 2"},
    {"{a \\alpha", "error: expected RBrace but reached end of input near 'alpha'"},
    {"{a \\end}", "Group(Sequence[Symbol(\"a\"), Command(\"end\", [], [])])"},
    {"{α β", "error: expected RBrace but reached end of input near 'α β'"},
    {"\\sqrt[3{x}", "error: expected RBracket but reached end of input near '[3{x}'"},
    {"\\sqrt[3}", "error: expected RBracket, got RBrace near '}' at byte 7"},
    {"\\sqrt", "error: Unexpected token at position 1: None"},
    {"\\sqrt}", "error: Unexpected token at position 1: Some(RBrace)"},
    {"\\sqrt^", "error: Unexpected token at position 1: Some(Caret)"},
    {"\\frac12", "error: Unexpected token at position 2: None"},
    {"\\frac{a", "error: expected RBrace but reached end of input near 'rac{a'"},
    {"\\frac{a}", "error: Unexpected token at position 4: None"},
    {"\\frac{a}'", "error: Unexpected token at position 4: Some(Prime)"},
    {"\\sum_{i}{", "error: expected RBrace but reached end of input near '_{i}{'"},
    {"\\sum{a", "error: expected RBrace but reached end of input near 'sum{a'"},
    {"x^\\right)", "error: unexpected \\right without matching \\left"},
    {"\\right)", "error: unexpected \\right without matching \\left"},
    {"a \\sqrt{\\right}", "error: unexpected \\right without matching \\left"},

    // \left … \right messages, in the order the checks run.
    {"\\left", "error: expected a delimiter after \\left"},
    {"\\left. x \\right)", "error: expected a delimiter after \\left"},
    {"\\left\\langle x \\right)", "error: expected a delimiter after \\left"},
    {"\\left( x", "error: unclosed \\left ... \\right pair"},
    {"\\left(", "error: unclosed \\left ... \\right pair"},
    {"\\left( \\left( x \\right)", "error: unclosed \\left ... \\right pair"},
    {"\\left( x \\right", "error: expected a delimiter after \\right"},
    {"\\left( x \\right.", "error: expected a delimiter after \\right"},
    {"\\left) x \\right(",
     "error: internal error: entered unreachable code: unsupported left delimiter"},
    {"\\left] x \\right.", "error: expected a delimiter after \\right"},
    {"\\left\\} x \\right\\}",
     "error: internal error: entered unreachable code: unsupported left delimiter"},
    {"\\left(a\\right]", "error: mismatched delimiters: \\left( and \\right]"},
    {"\\left\\{ a \\right)", "error: mismatched delimiters: \\left{ and \\right)"},
    {"\\left| a \\right)", "error: mismatched delimiters: \\left| and \\right)"},
    {"\\left( {a \\right)", "error: expected RBrace but reached end of input near 'ight)'"},
    {"\\left( a^ \\right)", "error: Unexpected token at position 2: None"},
    {"\\left( {a] \\right)", "error: expected RBrace, got RBracket near ']' at byte 9"},
    {"\\left( a \\right) \\right)", "error: unexpected \\right without matching \\left"},

    // Environment messages, in the order the checks run.
    {"\\begin", "error: expected LBrace but reached end of input near 'begin'"},
    {"\\begin x", "error: expected LBrace, got Ident(\"x\") near 'x' at byte 7"},
    {"\\begin{", "error: unexpected eof"},
    {"\\begin{matrix", "error: unexpected eof"},
    {"\\begin{}", "error: unknown matrix environment: "},
    {"\\begin{vmatrix} a \\end{vmatrix}", "error: unknown matrix environment: vmatrix"},
    {"\\begin{Matrix} a", "error: unknown matrix environment: Matrix"},
    {"\\begin{p matrix}", "error: unexpected whitespace near 'm' at byte 9"},
    {"\\begin{matrix*}", "error: expected a string near '*' at byte 13"},
    {"\\begin{2matrix}", "error: expected a string near '2' at byte 7"},
    {"\\begin{matrix} a", "error: unclosed \\begin{matrix}"},
    {"\\begin{matrix} \\begin{matrix} \\end{matrix}", "error: unclosed \\begin{matrix}"},
    {"\\begin{matrix} a \\end{pmatrix}", "error: mismatched \\begin{matrix} and \\end{pmatrix}"},
    {"\\begin{matrix} a \\end", "error: expected LBrace but reached end of input near ' \\end'"},
    {"\\begin{matrix} a \\end{}", "error: mismatched \\begin{matrix} and \\end{}"},
    {"\\begin{matrix} a \\end{matrix", "error: unexpected eof"},
    {"\\begin{matrix} a & b^ \\end{matrix}", "error: Unexpected token at position 2: None"},
    {"\\begin{matrix} a \\\\ {b \\end{matrix}",
     "error: expected RBrace but reached end of input near 'trix}'"},
    {"\\begin{matrix} {a \\end{pmatrix}",
     "error: expected RBrace but reached end of input near 'trix}'"},
};

}  // namespace

void parser_tests(Suite& s) {
  for (const Case& c : kCases) s.eq(parse(c.input), c.tree, c.input);
}

}  // namespace vok::test
