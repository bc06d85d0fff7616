"""The installed `vok` command: arguments, standard input, errors and the exit status."""

import subprocess

import vok


def run(command, *args, stdin=None):
    return subprocess.run([command, *args], input=stdin, capture_output=True, text=True, timeout=60)


def test_one_argument_prints_exactly_the_picture(vok_command):
    for formula in ["x", "", "a+b"]:
        done = run(vok_command, formula)
        assert (done.returncode, done.stdout, done.stderr) == (0, vok.render(formula), "")


def test_several_arguments_are_separated_by_a_blank_line(vok_command):
    done = run(vok_command, "a", "b", "c")
    assert done.returncode == 0
    assert done.stdout == vok.render("a") + "\n" + vok.render("b") + "\n" + vok.render("c")


def test_standard_input_one_formula_per_line(vok_command):
    done = run(vok_command, stdin="a\nb\n\nc")
    assert done.returncode == 0
    expected = "".join(vok.render(line) + "\n" for line in ["a", "b", "", "c"])
    assert done.stdout == expected


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
