"""The installed `vok` command: arguments, standard input, errors and the exit status."""

import subprocess

import vok


def run(command, *args, stdin=None):
    return subprocess.run([command, *args], input=stdin, capture_output=True, text=True, timeout=60)


def test_one_argument_prints_exactly_the_picture(vok_command):
    for formula, picture in [("x", "x\n"), ("", ""), ("a+b", "a + b\n"), ("\\frac{a}{b}", "a\n─\nb\n"),
                             ("\\sqrt{x}", " ┌──\n╲│ x\n"), ("x_1^2", " 2\nx \n 1\n")]:
        done = run(vok_command, formula)
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
    done = run(vok_command, "a", "$x$", "b")
    assert done.returncode == 1
    assert done.stderr == "vok: Invalid token at byte 0\n"
    assert done.stdout == vok.render("a") + "\n" + "\n" + vok.render("b")

    done = run(vok_command, stdin="a\nx \\\nb\n")
    assert done.returncode == 1
    assert done.stderr == "vok: Invalid token at byte 2\n"
    assert done.stdout == vok.render("a") + "\n" + "\n" + vok.render("b") + "\n"


def test_empty_standard_input_prints_nothing(vok_command):
    done = run(vok_command, stdin="")
    assert (done.returncode, done.stdout, done.stderr) == (0, "", "")


def test_windows_line_ends_and_bad_bytes(vok_command):
    done = subprocess.run([vok_command], input=b"a+b\r\nx\xff\r\n", capture_output=True, timeout=60)
    assert done.returncode == 1
    assert done.stdout == "a + b\n\n\n".encode()
    assert done.stderr == b"vok: Invalid token at byte 1\n"
