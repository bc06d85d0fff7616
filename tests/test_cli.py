"""The installed `vok` command: arguments, options, standard input, errors and the exit status."""

import os
import subprocess
import sys
from importlib.metadata import version

import pytest

import vok
import vok_latex
from conftest import needs_dev_full, needs_posix


def run(command, *args, stdin=None):
    return subprocess.run([command, *args], input=stdin, capture_output=True, text=True, timeout=60)


def test_one_argument_prints_exactly_the_picture(vok_command):
    for formula, picture in [("x", "x\n"), ("", ""), ("a+b", "a + b\n"), ("\\frac{a}{b}", "a\n─\nb\n"),
                             ("\\sqrt{x}", " ┌──\n╲│ x\n"), ("x_1^2", " 2\nx \n 1\n")]:
        done = run(vok_command, "--exact", formula)
        assert (done.returncode, done.stdout, done.stderr) == (0, picture, "")


def test_several_arguments_are_separated_by_a_blank_line(vok_command):
    done = run(vok_command, "a", "\\frac{1}{2}", "c")
    assert done.returncode == 0
    assert done.stdout == "a\n\n1\n─\n2\n\nc\n"


def test_standard_input_one_formula_per_line(vok_command):
    done = run(vok_command, stdin="a+b\n\\hat{x}\n\nc")
    assert done.returncode == 0
    assert done.stdout == "a + b\n\n^\nx\n\n\nc\n\n"


def test_errors_go_to_stderr_and_the_rest_still_renders(vok_command):
    done = run(vok_command, "--exact", "a", "$x$", "b")
    assert done.returncode == 1
    assert done.stderr == "vok: argument 2: Invalid token at byte 0\n"
    assert done.stdout == vok.render("a") + "\n" + "\n" + vok.render("b")

    done = run(vok_command, "--exact", stdin="a\nx \\\nb\n")
    assert done.returncode == 1
    assert done.stderr == "vok: line 2: Invalid token at byte 2\n"
    assert done.stdout == vok.render("a") + "\n" + "\n" + vok.render("b") + "\n"


def test_one_formula_alone_is_not_numbered(vok_command):
    done = run(vok_command, "--exact", "$x$")
    assert (done.returncode, done.stderr) == (1, "vok: Invalid token at byte 0\n")


# Control characters in a picture or a message are shown, never written: C0 and DEL as their
# control pictures, C1 as U+FFFD; the exact markup draws what it is given, so the picture holds them.
@pytest.mark.parametrize("args, stdout, stderr", [
    (["x\x1bc"], "x␛c\n", ""),
    (["a\x07b\x7f"], "a␇b␡\n", ""),
    (["x\x1cy"], "x␜y\n", ""),
    (["x\u0090y"], "x\ufffdy\n", ""),
    (["{\x1b[2J"], "", "vok: expected RBracket but reached end of input near '{␛[2J'\n"),
    # A message is one line: a line feed it quotes is shown too.
    (["{a\n"], "", "vok: expected RBrace but reached end of input near '{a␊'\n"),
])
def test_control_characters_are_shown_not_written(vok_command, args, stdout, stderr):
    done = run(vok_command, "--exact", *args)
    assert (done.stdout, done.stderr) == (stdout, stderr)


def test_empty_standard_input_prints_nothing(vok_command):
    done = run(vok_command, stdin="")
    assert (done.returncode, done.stdout, done.stderr) == (0, "", "")


def test_windows_line_ends_and_bad_bytes(vok_command):
    done = subprocess.run([vok_command, "--exact"], input=b"a+b\r\nx\xff\r\n", capture_output=True,
                          timeout=60)
    assert done.returncode == 1
    assert done.stdout == "a + b\n\n\n".encode()
    assert done.stderr == b"vok: line 2: Invalid token at byte 1\n"


# ---- options -----------------------------------------------------------------------------------

def test_help_prints_the_usage_on_stdout(vok_command):
    for flag in ["--help", "-h"]:
        done = run(vok_command, flag)
        assert (done.returncode, done.stderr) == (0, "")
        assert done.stdout.startswith("usage: vok ")
        for documented in ["--version", "--", "--exact", "-l, --latex", "-f, --file FILE",
                           "standard input", "exit"]:
            assert documented in done.stdout
        assert done.stdout.startswith(
            "usage: vok [-h] [--version] [--width N] [--ascii] [--linear] [--macros FILE]\n"
            "           [--commands] [-f FILE] [--] [FORMULA...]\n"
            "       vok --exact [--commands] [-f FILE] [--] [FORMULA...]\n")


def test_help_wins_over_the_formulas_around_it(vok_command):
    done = run(vok_command, "a", "--help", "b")
    assert done.returncode == 0
    assert done.stdout == run(vok_command, "--help").stdout


def test_version_is_the_package_version(vok_command):
    done = run(vok_command, "--version")
    assert (done.returncode, done.stdout, done.stderr) == (0, f"vok {version('vok')}\n", "")


@pytest.mark.parametrize("args", [["-x"], ["--x"], ["-help"], ["--versions"], ["a", "-b", "c"],
                                  ["-1"], ["--help=yes"], ["-", "-v"], ["-L"], ["-lx"],
                                  ["--latex=yes"], ["--LaTeX"], ["-l", "--tex"]])
def test_an_unknown_option_is_a_usage_error(vok_command, args):
    done = run(vok_command, *args, stdin="a\n")
    assert done.returncode == 2
    assert done.stdout == ""  # nothing is rendered, not even the formulas before the option
    unknown = next(arg for arg in args if arg.startswith("-") and arg not in ("-", "-l"))
    assert done.stderr.startswith(f"vok: unknown option '{unknown}'")
    assert "usage: vok " in done.stderr


# A usage error quotes the argument, shown safe like everything the command writes.
@pytest.mark.parametrize("args, message", [
    (["--width", "\x1b[2J", "x"], "vok: --width needs a number of columns, not '␛[2J'\n"),
    (["--width=\x07\u009b"], "vok: --width needs a number of columns, not '␇\ufffd'\n"),
    (["-\x1b]0;title\x07"],
     "vok: unknown option '-␛]0;title␇' (put -- before a formula that starts with '-')\n"),
])
def test_a_usage_error_shows_the_argument_safe(vok_command, args, message):
    done = run(vok_command, *args)
    assert (done.returncode, done.stdout) == (2, "")
    assert done.stderr.startswith(message)


@pytest.mark.parametrize(
    "args, stdout",
    [
        (["--", "-x"], vok_latex.render("-x")),
        (["--", "-x", "--", "-"],
         "\n".join([vok_latex.render("-x"), vok_latex.render("--"), vok_latex.render("-")])),
        (["--", "--help"], vok_latex.render("--help")),
        (["a", "--", "-b"], vok_latex.render("a") + "\n" + vok_latex.render("-b")),
        (["--exact", "--", "--help"], vok.render("--help")),
    ],
)
def test_after_double_dash_everything_is_a_formula(vok_command, args, stdout):
    done = run(vok_command, *args, stdin="ignored\n")
    assert (done.returncode, done.stdout, done.stderr) == (0, stdout, "")


@pytest.mark.parametrize("args", [["-"], ["--"], ["-", "--"], []])
def test_dash_alone_or_nothing_reads_standard_input(vok_command, args):
    done = run(vok_command, *args, stdin="a+b\n\\frac{1}{2}\n")
    assert (done.returncode, done.stderr) == (0, "")
    assert done.stdout == vok.render("a+b") + "\n" + vok.render("\\frac{1}{2}") + "\n"


def test_dash_with_formulas_is_a_usage_error(vok_command):
    done = run(vok_command, "a", "-", stdin="b\n")
    assert (done.returncode, done.stdout) == (2, "")
    assert done.stderr.startswith("vok: '-' (standard input) cannot be combined with formulas\n")


# ---- the LaTeX dialect -------------------------------------------------------------------------

def latex(*formulas: str) -> str:
    """What the command prints for these formulas given as arguments in the LaTeX dialect."""
    return "\n".join(vok_latex.render(formula) for formula in formulas)


@pytest.mark.parametrize(
    "args, stdin, stdout",
    [
        (["-l", "x"], None, "x\n"),
        (["--latex", "x"], None, "x\n"),
        (["-l", ""], None, ""),
        (["-l", "\\leq"], None, "≤\n"),
        (["\\leq"], None, "≤\n"),  # the default
        (["--exact", "\\leq"], None, "leq\n"),
        (["-l", "\\alpha", "\\frac{1}{2}"], None, latex("\\alpha", "\\frac{1}{2}")),
        # The option applies to every formula, wherever it stands, and given twice it is the same.
        (["a", "-l", "\\leq"], None, latex("a", "\\leq")),
        (["\\leq", "--latex", "-l"], None, latex("\\leq")),
        # Standard input, read for no formula or for '-'.
        (["-l"], "\\leq\nx\n", latex("\\leq") + "\n" + latex("x") + "\n"),
        (["-", "--latex"], "\\leq\n", latex("\\leq") + "\n"),
        # After --, -l is a formula.
        (["--", "-l"], None, latex("-l")),
        (["--exact", "--", "-l"], None, vok.render("-l")),
        (["-l", "--", "-l"], None, latex("-l")),
        # A width past the largest size is that size: nothing is broken.
        (["-l", "--width", "9" * 30, "a = b + c"], None, latex("a = b + c")),
    ],
)
def test_the_latex_option(vok_command, args, stdin, stdout):
    done = run(vok_command, *args, stdin=stdin)
    assert (done.returncode, done.stdout, done.stderr) == (0, stdout, "")


def test_alpha_in_the_latex_dialect(vok_command):
    done = run(vok_command, "-l", "\\alpha")
    assert (done.returncode, done.stderr) == (0, "")
    assert "α" in done.stdout and done.stdout == vok_latex.render("\\alpha")


def test_latex_errors_go_to_stderr_and_the_rest_still_renders(vok_command):
    with pytest.raises(ValueError) as error:
        vok_latex.render("{a")
    done = run(vok_command, "-l", "a", "{a", "\\leq")
    assert done.returncode == 1
    assert done.stderr == f"vok: argument 2: {error.value}\n"
    assert done.stdout == latex("a") + "\n" + "\n" + latex("\\leq")


def test_latex_output_is_exactly_the_module_text(vok_command):
    formulas = ["x^2", "\\alpha \\leq \\beta", "\\sum_{i=1}^{n} {i}", "\\sqrt{x}", "a \\quad b"]
    done = run(vok_command, "--latex", *formulas)
    assert (done.returncode, done.stderr) == (0, "")
    assert done.stdout == latex(*formulas)

    done = run(vok_command, "--latex", stdin="".join(formula + "\n" for formula in formulas))
    assert (done.returncode, done.stderr) == (0, "")
    assert done.stdout == "".join(vok_latex.render(formula) + "\n" for formula in formulas)


# ---- input and output failures -----------------------------------------------------------------

@pytest.mark.parametrize(
    "args, line",
    [
        (["--exact", "--commands"], "\\frac\tstructure\t"),
        (["--commands", "--exact"], "\\alpha\tsymbol\tα"),
        (["--commands"], "\\leq\trelation\t≤"),
        (["--latex", "--commands"], "\\leq\trelation\t≤"),
        (["--commands", "-l"], "\\sin\tfunction\tsin"),
        (["-l", "--commands"], "\\mathbb\talphabet\t"),
    ],
)
def test_the_commands_of_a_dialect(vok_command, args, line):
    done = subprocess.run([vok_command, *args], capture_output=True, text=True, timeout=60)
    assert (done.returncode, done.stderr) == (0, "")
    lines = done.stdout.splitlines()
    assert line in lines and lines == sorted(lines)


@needs_dev_full
def test_a_failed_write_is_an_error(vok_command):
    with open("/dev/full", "w") as full:
        done = subprocess.run([vok_command, "x"], stdout=full, stderr=subprocess.PIPE, text=True,
                              timeout=60)
    assert done.returncode == 1
    assert done.stderr == "vok: cannot write to standard output\n"


@needs_dev_full
def test_a_failed_write_stops_reading_standard_input(vok_command):
    endless = subprocess.Popen([sys.executable, "-c", "while True: print('x')"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        with open("/dev/full", "w") as full:
            done = subprocess.run([vok_command], stdin=endless.stdout, stdout=full,
                                  stderr=subprocess.PIPE, text=True, timeout=60)
    finally:
        endless.kill()
        endless.wait()
        endless.stdout.close()
    assert (done.returncode, done.stderr) == (1, "vok: cannot write to standard output\n")


@needs_posix
def test_an_unreadable_standard_input_is_an_error(vok_command):
    directory = os.open("/", os.O_RDONLY)  # opens, but reading it fails
    try:
        done = subprocess.run([vok_command], stdin=directory, capture_output=True, text=True,
                              timeout=60)
    finally:
        os.close(directory)
    assert (done.returncode, done.stdout) == (1, "")
    assert done.stderr == "vok: cannot read standard input: Is a directory\n"


def test_output_is_exactly_the_module_text_for_many_formulas(vok_command):
    formulas = ["x^2", "\\sum_{i=1}^{n} {i}", "\\begin{bmatrix} 1 & 2 \\\\ 3 & 4 \\end{bmatrix}",
                "\\left( \\frac{a}{b} \\right)", "\\mathbb{R}", "\\hat{x}", "a \\quad b"]
    done = run(vok_command, "--exact", *formulas)
    assert (done.returncode, done.stderr) == (0, "")
    assert done.stdout == "\n".join(vok.render(formula) for formula in formulas)

    done = run(vok_command, "--exact", stdin="".join(formula + "\n" for formula in formulas))
    assert (done.returncode, done.stderr) == (0, "")
    assert done.stdout == "".join(vok.render(formula) + "\n" for formula in formulas)


# ---- the dialect chosen, and a file of formulas ------------------------------------------------

@pytest.mark.parametrize(
    "args, message",
    [
        (["--exact", "-l", "x"], "vok: --exact and --latex name two dialects: give one\n"),
        (["--exact", "--ascii", "x"], "vok: --ascii goes with LaTeX, not with --exact\n"),
        (["--width", "20", "--exact", "x"], "vok: --width goes with LaTeX, not with --exact\n"),
        (["--exact", "--linear", "x"], "vok: --linear goes with LaTeX, not with --exact\n"),
        (["--exact", "--markdown"], "vok: --markdown reads LaTeX, not --exact\n"),
        (["-f"], "vok: -f needs a FILE of formulas, one a line\n"),
        (["-f", "x.tex", "a"], "vok: -f FILE cannot be combined with formulas or '-'\n"),
    ],
)
def test_the_dialect_and_file_options_refuse_what_does_not_go_together(vok_command, args, message):
    done = run(vok_command, *args, stdin="")
    assert (done.returncode, done.stdout) == (2, "")
    assert done.stderr.startswith(message)


def test_a_file_of_formulas_one_a_line(vok_command, tmp_path):
    path = tmp_path / "formulas.tex"
    path.write_text("\\alpha \\leq x\n{a\n\\frac{1}{2}\n", encoding="utf-8")
    for option in (["-f", str(path)], [f"--file={path}"], ["--exact", "--file", str(path)]):
        done = run(vok_command, *option)
        render = vok.render if "--exact" in option else vok_latex.render
        assert done.returncode == 1
        assert done.stdout == render("\\alpha \\leq x") + "\n\n" + render("\\frac{1}{2}") + "\n"
        assert done.stderr.startswith("vok: line 2: ")
    done = run(vok_command, "-f", str(tmp_path / "nope.tex"))
    assert (done.returncode, done.stdout) == (1, "")
    assert done.stderr == f"vok: cannot read {tmp_path / 'nope.tex'}: No such file or directory\n"
