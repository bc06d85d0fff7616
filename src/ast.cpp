// Printing trees, for tests and debugging.
#include "ast.hpp"

#include <vector>

#include "unicode.hpp"
#include "vocabulary.hpp"

namespace vok {

namespace {

constexpr const char* kOpNames[] = {"Plus", "Minus", "Equals", "Times"};

class Printer {
 public:
  std::string out;

  void node(const Expr& expr) {
    std::visit([this](const auto& n) { visit(n); }, expr);
  }

 private:
  void quoted(std::string_view text) {
    out += '"';
    out += text;
    out += '"';
  }
  void list(ExprList items) {
    out += '[';
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (i > 0) out += ", ";
      node(*items[i]);
    }
    out += ']';
  }
  void call(const char* name, std::initializer_list<const Expr*> children) {
    out += name;
    out += '(';
    bool first = true;
    for (const Expr* child : children) {
      if (!first) out += ", ";
      first = false;
      node(*child);
    }
    out += ')';
  }

  void visit(const Symbol& n) { out += "Symbol(", quoted(n.text), out += ')'; }
  void visit(const Number& n) { out += "Number(", quoted(n.text), out += ')'; }
  void visit(const Empty&) { out += "Empty"; }
  void visit(const Space& n) { out += "Space(" + std::to_string(n.columns) + ")"; }
  void visit(const LeftRight& n) {
    out += "LeftRight(";
    for (std::size_t i = 0; i <= n.parts.size(); ++i) {
      if (i > 0) out += ", ";
      out += '\'';
      if (n.delimiters[i] != 0) append_utf8(out, n.delimiters[i]);
      out += '\'';
      if (i < n.parts.size()) out += ", ", node(*n.parts[i]);
    }
    out += ')';
  }
  void visit(const Group& n) { call("Group", {n.inner}); }
  void visit(const Parens& n) { call("Parens", {n.inner}); }
  void visit(const Brackets& n) { call("Brackets", {n.inner}); }
  void visit(const Negate& n) { call("Negate", {n.inner}); }
  void visit(const Superscript& n) { call("Superscript", {n.base, n.sup}); }
  void visit(const Subscript& n) { call("Subscript", {n.base, n.sub}); }
  void visit(const SubSup& n) { call("SubSup", {n.base, n.sub, n.sup}); }
  void visit(const Delimited& n) {
    out += "Delimited('";
    append_utf8(out, n.open);
    out += "', '";
    append_utf8(out, n.close);
    out += "', ";
    node(*n.inner);
    out += ')';
  }
  void visit(const Command& n) {
    out += "Command(", quoted(n.name), out += ", ";
    list(n.parts->optional);
    out += ", ";
    list(n.parts->args);
    out += ')';
  }
  void visit(const Primes& n) {
    out += "Primes(";
    node(*n.base);
    out += ", " + std::to_string(n.count) + ")";
  }
  void visit(const Sequence& n) {
    out += "Sequence";
    list(n.items);
  }
  void visit(const Matrix& n) {
    out += "Matrix(", quoted(n.env->name), out += ", [";
    for (std::size_t r = 0; r < n.rows.size(); ++r) {
      if (r > 0) out += ", ";
      list(n.rows[r]);
    }
    out += "])";
  }
  void visit(const Table& n) {
    out += "Table([";
    for (std::size_t r = 0; r < n.rows.size(); ++r) {
      if (r > 0) out += ", ";
      list(n.rows[r]);
    }
    out += "])";
  }
  void visit(const Infix& n) {
    // Walk the left spine iteratively: open every Infix, print the innermost left operand, then
    // close them from the inside out with their right operands.
    std::vector<const Infix*> spine{&n};
    while (const auto* inner = std::get_if<Infix>(spine.back()->lhs)) spine.push_back(inner);
    for (const Infix* link : spine) {
      out += "Infix(";
      out += kOpNames[static_cast<int>(link->op)];
      out += ", ";
    }
    node(*spine.back()->lhs);
    for (auto it = spine.rbegin(); it != spine.rend(); ++it) {
      out += ", ";
      node(*(*it)->rhs);
      out += ')';
    }
  }
};

}  // namespace

std::string print(const Expr& expr) {
  Printer printer;
  printer.node(expr);
  return printer.out;
}

}  // namespace vok
