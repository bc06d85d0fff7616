"""The distributions: the sdist made from this tree, the one stable-ABI wheel built from that sdist
(which shows the sdist holds what a build needs), the wheel's contents and metadata, and abi3audit
on both extension modules; then the portable wheels of tools/build-wheels, checked with auditwheel
and readelf, installed in a fresh venv of every CPython 3.12 or later here, and the other
architecture's run under emulation.

One sdist, one wheel and one portable build per run: about 15 s, plus about 30 s for the portable
wheels once the toolchain is installed and warm (3 min on a fresh machine); `-m "not packaging"`
leaves them out."""

import email.parser
import hashlib
import json
import os
import platform
import re
import shutil
import subprocess
import sys
import tarfile
import tomllib
import zipfile
from importlib.metadata import version
from pathlib import Path

import pytest
import yaml

from conftest import IN_CI, ROOT, tool

pytestmark = pytest.mark.packaging

VERSION = version("vok")
# Directory names and file endings that are build products or local environments, never sources.
NOT_SOURCES = {"build", "dist", "__pycache__", ".git", ".pytest_cache", ".mypy_cache", ".venv",
               "venv", ".hypothesis"}
PRODUCTS = (".so", ".o", ".a", ".pyc", ".whl", ".tar.gz")


def run(*command: str, cwd: Path | None = None) -> subprocess.CompletedProcess:
    done = subprocess.run(list(command), capture_output=True, text=True, cwd=cwd, timeout=900,
                          stdin=subprocess.DEVNULL)
    assert done.returncode == 0, f"{' '.join(command)}\n{done.stdout}\n{done.stderr}"
    return done


@pytest.fixture(scope="module")
def sdist(tmp_path_factory) -> Path:
    out = tmp_path_factory.mktemp("sdist")
    run(sys.executable, "-m", "build", "--sdist", "--outdir", str(out), str(ROOT))
    built = list(out.iterdir())
    assert [path.name for path in built] == [f"vok-{VERSION}.tar.gz"]
    return built[0]


@pytest.fixture(scope="module")
def wheel(sdist, tmp_path_factory) -> Path:
    """The wheel, built from the sdist alone (no cache: always a real build)."""
    out = tmp_path_factory.mktemp("wheel")
    run(sys.executable, "-m", "pip", "wheel", "--no-deps", "--no-cache-dir", "--wheel-dir",
        str(out), str(sdist))
    built = list(out.iterdir())
    assert len(built) == 1, built
    return built[0]


def sdist_members(sdist: Path) -> set[str]:
    top = f"vok-{VERSION}/"
    with tarfile.open(sdist) as archive:
        names = {member.name for member in archive.getmembers() if member.isfile()}
    assert all(name.startswith(top) for name in names), names
    return {name.removeprefix(top) for name in names}


def test_sdist_holds_the_sources(sdist):
    members = sdist_members(sdist)
    needed = {"pyproject.toml", "CMakeLists.txt", "README.md", "LICENSE", "PKG-INFO", "CHANGELOG.md",
              "cli/main.cpp", "binding/vok_module.cpp", "vok-stubs/__init__.pyi",
              "examples/CMakeLists.txt", "examples/main.cpp", "bench/formulas.txt",
              "tests/corpus/README.md", "tests/corpus/formulas-real.txt",
              "tests/corpus/formulas-subset.txt"}
    needed |= {path.relative_to(ROOT).as_posix() for path in (ROOT / "src").rglob("*")
               if path.is_file()}
    assert needed <= members, sorted(needed - members)


def test_sdist_holds_no_build_products_or_environments(sdist):
    members = sdist_members(sdist)
    bad = sorted(name for name in members
                 if NOT_SOURCES & set(name.split("/")[:-1]) or name.startswith(".venv")
                 or name.endswith(PRODUCTS))
    assert not bad


def test_one_stable_abi_wheel_with_the_modules_the_command_and_the_stubs(wheel):
    assert wheel.name == f"vok-{VERSION}-cp312-abi3-linux_x86_64.whl"
    with zipfile.ZipFile(wheel) as archive:
        names = set(archive.namelist())
        license_text = archive.read(f"vok-{VERSION}.dist-info/licenses/LICENSE").decode()
    info = f"vok-{VERSION}.dist-info/"
    assert {name for name in names if not name.startswith(info)} == {
        "vok.abi3.so", "vok_latex.abi3.so", f"vok-{VERSION}.data/scripts/vok",
        "vok-stubs/__init__.pyi", "vok_latex-stubs/__init__.pyi"}
    assert {name.removeprefix(info) for name in names if name.startswith(info)} == {
        "METADATA", "WHEEL", "RECORD", "licenses/LICENSE"}
    assert "MIT License" in license_text
    assert "Copyright (c) 2026 the vok developers" in license_text


def test_wheel_metadata_is_complete(wheel):
    with zipfile.ZipFile(wheel) as archive:
        metadata = email.parser.Parser().parsestr(
            archive.read(f"vok-{VERSION}.dist-info/METADATA").decode())
    assert metadata["Name"] == "vok"
    assert metadata["Version"] == VERSION
    assert metadata["Summary"]
    assert metadata["License"] == "MIT"
    assert metadata["Requires-Python"] == ">=3.12"
    assert metadata["Description-Content-Type"] == "text/markdown"
    assert "## Gallery" in metadata.get_payload()  # the README is the long description
    assert {"math", "latex", "unicode"} <= set(metadata["Keywords"].split(","))
    classifiers = metadata.get_all("Classifier")
    assert {
        "Development Status :: 3 - Alpha",
        "License :: OSI Approved :: MIT License",
        "Operating System :: POSIX :: Linux",
        "Programming Language :: C++",
        "Programming Language :: Python :: 3 :: Only",
        "Programming Language :: Python :: 3.12",
        "Programming Language :: Python :: 3.13",
        "Programming Language :: Python :: Implementation :: CPython",
        "Topic :: Text Processing :: Markup :: LaTeX",
        "Typing :: Typed",
    } <= set(classifiers)
    assert len(classifiers) == len(set(classifiers)) and classifiers == sorted(classifiers)
    # Only the systems where wheels are built and tested here are claimed.
    assert [c for c in classifiers if c.startswith("Operating System")] == [
        "Operating System :: POSIX :: Linux"]
    assert metadata.get_all("Project-URL") is None  # none are known yet


def test_the_changelog_opens_with_this_version():
    changelog = (ROOT / "CHANGELOG.md").read_text(encoding="utf-8")
    versions = re.findall(r"^## \[([^]]+)\]", changelog, re.M)
    assert versions and versions[0] == VERSION
    assert "keepachangelog.com" in changelog


# ---- the release of the other platforms: cibuildwheel and the hosted CI -------------------------

PYPROJECT = tomllib.loads((ROOT / "pyproject.toml").read_text(encoding="utf-8"))
CIBUILDWHEEL = PYPROJECT["tool"]["cibuildwheel"]
WORKFLOW = yaml.safe_load((ROOT / ".github" / "workflows" / "release.yml").read_text(encoding="utf-8"))


def requirement_name(requirement: str) -> str:
    return re.match(r"[A-Za-z0-9_.-]+", requirement).group(0).lower()


def test_cibuildwheel_builds_one_wheel_per_platform_and_tests_every_cpython():
    # cp312 is built; the later ones install that abi3 wheel and run the tests. A free-threaded
    # interpreter has no stable ABI: each gets its own wheel (3.14t is the first cibuildwheel makes).
    assert CIBUILDWHEEL["build"][0] == "cp312-*"
    assert all(re.fullmatch(r"cp31\dt?-\*", pattern) for pattern in CIBUILDWHEEL["build"])
    assert {"cp314t-*", "cp315t-*"} <= set(CIBUILDWHEEL["build"])
    assert not any(pattern.startswith("cp") for pattern in CIBUILDWHEEL["skip"])
    assert set(CIBUILDWHEEL["macos"]["archs"]) == {"arm64", "x86_64"}


def test_cibuildwheel_runs_the_tests_that_need_only_the_wheel():
    command = CIBUILDWHEEL["test-command"]
    assert command.startswith("python -m pytest {project}/tests ")
    selection = re.search(r'-m "([^"]+)"', command).group(1)
    markers = {line.split(":")[0] for line in PYPROJECT["tool"]["pytest"]["ini_options"]["markers"]}
    assert selection == "not packaging and not toolchain" and {"packaging", "toolchain"} <= markers
    # What the test run installs is what the test extras pin, less the build tools.
    extras = {requirement_name(r): r for r in PYPROJECT["project"]["optional-dependencies"]["test"]}
    for requirement in CIBUILDWHEEL["test-requires"]:
        assert extras.get(requirement_name(requirement)) == requirement


def test_the_workflow_builds_on_every_platform_and_publishes_tags():
    jobs = WORKFLOW["jobs"]
    runners = {entry["runner"] for entry in jobs["wheels"]["strategy"]["matrix"]["include"]}
    assert runners == {"ubuntu-latest", "ubuntu-24.04-arm", "macos-latest", "windows-latest"}
    steps = " ".join(step.get("run", "") for step in jobs["wheels"]["steps"])
    assert re.search(r"pip install cibuildwheel==[\d.]+ && python -m cibuildwheel ", steps)
    assert jobs["publish"]["needs"] == ["sdist", "wheels"]
    assert jobs["publish"]["if"] == "startsWith(github.ref, 'refs/tags/v')"
    assert jobs["publish"]["permissions"] == {"id-token": "write"}
    # PyYAML reads the key `on` as True.
    assert WORKFLOW[True]["push"]["tags"] == ["v*"]


def test_the_build_for_a_free_threaded_interpreter_works_with_the_lock(sdist, tmp_path):
    """What a free-threaded interpreter gets, a build without the stable ABI that declares it does
    not need the lock, checked on the newest interpreter here (none is free-threaded): it builds,
    the interpreter accepts the declaration, and calls on many threads give what one thread
    gives."""
    python = max(interpreters(), key=lambda path: int(run(
        str(path), "-c", "import sys; print(sys.hexversion)").stdout))
    venv = tmp_path / "venv"
    run(str(python), "-m", "venv", str(venv))
    run(str(venv / "bin" / "python"), "-m", "pip", "install", "--no-cache-dir", "pytest",
        "hypothesis", "--config-settings=wheel.py-api=", str(sdist))
    where = run(str(venv / "bin" / "python"), "-c", "import vok_latex; print(vok_latex.__file__)")
    assert ".abi3." not in Path(where.stdout.strip()).name
    run(str(venv / "bin" / "python"), "-m", "pytest", "-q", "-p", "no:cacheprovider",
        str(ROOT / "tests" / "test_batch.py"), cwd=tmp_path)


def check_stable_abi(wheel: Path):
    audit = tool("abi3audit")
    assert audit, "abi3audit is a test requirement (pip install '.[test]')"
    done = run(audit, "--strict", "--report", str(wheel))
    report = json.loads(done.stdout)
    objects = report["specs"][str(wheel)]["wheel"]
    assert sorted(entry["name"] for entry in objects) == ["vok.abi3.so", "vok_latex.abi3.so"]
    for entry in objects:
        result = entry["result"]
        assert result["is_abi3"] and result["is_abi3_baseline_compatible"], entry["name"]
        assert result["baseline"] == "3.12", entry["name"]
        assert result["non_abi3_symbols"] == [], entry["name"]
        assert result["future_abi3_objects"] == {}, entry["name"]

def test_abi3audit_finds_only_the_stable_abi(wheel):
    check_stable_abi(wheel)


# ---- the portable wheels of tools/build-wheels -------------------------------------------------

# The newest glibc a portable wheel may need (manylinux_2_28 or older), and the libraries of glibc
# itself: all that the module and the command may link.
GLIBC_FLOOR = 28
GLIBC_LIBRARIES = {"libc.so.6", "libm.so.6", "libpthread.so.0", "libdl.so.2", "librt.so.1",
                   "ld-linux-x86-64.so.2", "ld-linux-aarch64.so.1"}
# The architectures built, and the machine `readelf -h` names for each.
MACHINES = {"x86_64": "Advanced Micro Devices X86-64", "aarch64": "AArch64"}
HOST = platform.machine()
MEMBERS = [f"vok-{VERSION}.data/scripts/vok", "vok.abi3.so", "vok_latex.abi3.so"]
# Formula → the picture `vok.render` returns and the command prints.
PICTURES = [
    ("x^2", "x²\n"),
    ("\\sqrt[3]{x^2 + 1}", "3 ┌───────\n ╲│ x² + 1\n"),
    ("\\frac{a + b}{2}", "a + b\n─────\n  2  \n"),
]
# Formula → the message of its ValueError, which the command prints after "vok: ".
ERRORS = [("a ? b", "Invalid token at byte 2"), ("x^", "Unexpected token at position 2: None")]


@pytest.fixture(scope="module")
def portable_wheels(tmp_path_factory) -> dict[str, Path]:
    """tools/build-wheels, run once: its wheels by architecture."""
    out = tmp_path_factory.mktemp("portable")
    run(str(ROOT / "tools" / "build-wheels"), str(out))
    built = sorted(out.iterdir())
    wheels = {arch: path for path in built for arch in MACHINES
              if path.name.endswith(f"_{arch}.whl")}
    assert set(wheels) == set(MACHINES) and len(built) == len(MACHINES), built
    return wheels


def members(wheel: Path, into: Path) -> dict[str, Path]:
    """The module and the command, taken out of the wheel (the command executable)."""
    into.mkdir(parents=True, exist_ok=True)
    with zipfile.ZipFile(wheel) as archive:
        found = {name: Path(archive.extract(name, into)) for name in MEMBERS}
    found[MEMBERS[0]].chmod(0o755)
    return found


def test_portable_wheels_carry_their_manylinux_tags(portable_wheels):
    for arch, wheel in portable_wheels.items():
        assert wheel.name == (f"vok-{VERSION}-cp312-abi3-manylinux2014_{arch}"
                              f".manylinux_2_17_{arch}.whl")
        with zipfile.ZipFile(wheel) as archive:
            tags = [line.removeprefix("Tag: ") for line in
                    archive.read(f"vok-{VERSION}.dist-info/WHEEL").decode().splitlines()
                    if line.startswith("Tag: ")]
            # auditwheel's repacking adds entries for the directories
            names = {name for name in archive.namelist()
                     if ".dist-info/" not in name and not name.endswith("/")}
        assert sorted(tags) == [f"cp312-abi3-manylinux2014_{arch}",
                                f"cp312-abi3-manylinux_2_17_{arch}"]
        assert names == {*MEMBERS, "vok-stubs/__init__.pyi", "vok_latex-stubs/__init__.pyi"}


@pytest.mark.parametrize("arch", MACHINES)
def test_auditwheel_finds_an_old_glibc_and_nothing_else(portable_wheels, arch):
    auditwheel = tool("auditwheel")
    assert auditwheel, "auditwheel is a test requirement (pip install '.[test]')"
    report = json.loads(run(auditwheel, "show", "--json", str(portable_wheels[arch])).stdout)
    match = re.fullmatch(rf"manylinux_2_(\d+)_{arch}", report["overall_tag"])
    assert match, report["overall_tag"]
    assert int(match[1]) <= GLIBC_FLOOR
    assert report["external_libs"] == {}
    assert set(report["versioned_symbols"]) <= GLIBC_LIBRARIES, report["versioned_symbols"]
    assert not report["unsupported_isa"]


@pytest.mark.parametrize("arch", MACHINES)
@pytest.mark.parametrize("member", MEMBERS)
def test_module_and_command_need_only_glibc(portable_wheels, tmp_path, arch, member):
    path = members(portable_wheels[arch], tmp_path)[member]
    header = run("readelf", "-h", str(path)).stdout
    assert re.search(rf"Machine:\s+{MACHINES[arch]}\n", header), header
    dynamic = run("readelf", "-d", str(path)).stdout
    needed = set(re.findall(r"\(NEEDED\)\s+Shared library: \[(.+)\]", dynamic))
    assert "libc.so.6" in needed
    assert needed <= GLIBC_LIBRARIES, needed


@pytest.mark.parametrize("arch", MACHINES)
def test_portable_module_uses_only_the_stable_abi(portable_wheels, arch):
    check_stable_abi(portable_wheels[arch])


def interpreters() -> list[Path]:
    """Every CPython 3.12 or later with the GIL on this machine, each build once."""
    pyenv = Path.home() / ".pyenv" / "versions"
    candidates = [Path(sys._base_executable), *pyenv.glob("*/bin/python3"),
                  *Path("/usr/bin").glob("python3.*"), *Path("/usr/local/bin").glob("python3.*")]
    candidates += [Path(found) for name in ("python3", "python3.12", "python3.13", "python3.14")
                   if (found := shutil.which(name))]
    probe = ("import json, sys, sysconfig; print(json.dumps([sys.implementation.name == 'cpython'"
             " and sys.version_info >= (3, 12) and not sysconfig.get_config_var('Py_GIL_DISABLED'),"
             " sys.version, sys.base_prefix]))")
    found = {}
    for path in candidates:
        if path.name.endswith("-config") or not path.is_file():
            continue
        done = subprocess.run([str(path), "-c", probe], capture_output=True, text=True, timeout=60)
        if done.returncode == 0:
            usable, *build = json.loads(done.stdout)
            if usable:
                found.setdefault(tuple(build), path)
    return list(found.values())


@pytest.fixture(scope="module")
def installed(portable_wheels, tmp_path_factory) -> list[Path]:
    """A fresh venv per interpreter with the portable wheel of this machine installed."""
    wheel = portable_wheels[HOST]
    venvs = []
    for python in interpreters():
        venv = tmp_path_factory.mktemp("venv")
        run(str(python), "-m", "venv", str(venv))
        run(str(venv / "bin" / "python"), "-m", "pip", "install", "--no-index", "--no-deps",
            "--disable-pip-version-check", str(wheel))
        venvs.append(venv)
    return venvs


def test_every_interpreter_gets_a_venv(installed):
    running = f"{sys.version_info.major}.{sys.version_info.minor}"
    versions = [run(str(venv / "bin" / "python"), "-c",
                    "import sys; print('%d.%d' % sys.version_info[:2])").stdout.strip()
                for venv in installed]
    assert running in versions
    assert all(tuple(map(int, v.split("."))) >= (3, 12) for v in versions)


def test_the_installed_module_is_the_portable_one(installed, portable_wheels):
    with zipfile.ZipFile(portable_wheels[HOST]) as archive:
        digest = hashlib.sha256(archive.read("vok.abi3.so")).hexdigest()
    for venv in installed:
        where = run(str(venv / "bin" / "python"), "-c", "import vok; print(vok.__file__)")
        module = Path(where.stdout.strip())
        assert module.is_relative_to(venv)
        assert hashlib.sha256(module.read_bytes()).hexdigest() == digest


def test_portable_wheel_renders_in_every_interpreter(installed):
    for venv in installed:
        done = run(str(venv / "bin" / "python"), "-c", "import vok; print(vok.render('x^2'))")
        assert done.stdout == "x²\n\n"
        done = run(str(venv / "bin" / "python"), "-c",
                   "import vok_latex; print(vok_latex.render(r'\\frac{a}{b} \\leq c'), end='')")
        assert done.stdout == "a    \n─ ≤ c\nb    \n"
        for formula, picture in PICTURES:
            module = run(str(venv / "bin" / "python"), "-c",
                         "import sys, vok; print(vok.render(sys.argv[1]), end='')", formula)
            command = run(str(venv / "bin" / "vok"), "--exact", formula)
            assert (module.stdout, command.stdout, command.stderr) == (picture, picture, "")


def test_portable_wheel_reports_errors_in_every_interpreter(installed):
    for venv in installed:
        for formula, message in ERRORS:
            module = subprocess.run([str(venv / "bin" / "python"), "-c",
                                     "import sys, vok; vok.render(sys.argv[1])", formula],
                                    capture_output=True, text=True, timeout=60)
            assert module.returncode == 1
            assert module.stderr.endswith(f"ValueError: {message}\n")
            command = subprocess.run([str(venv / "bin" / "vok"), "--exact", formula],
                                     capture_output=True, text=True, timeout=60)
            assert (command.returncode, command.stdout) == (1, "")
            assert command.stderr == f"vok: {message}\n"


def emulator(arch: str) -> list[str]:
    """The command line that runs a program of another architecture (user-mode qemu and that
    architecture's glibc, Debian's qemu-user and libc6-*-cross, which the CI installs)."""
    qemu = shutil.which(f"qemu-{arch}")
    sysroot = Path(f"/usr/{arch}-linux-gnu")
    if qemu is None or not (sysroot / "lib" / "libc.so.6").exists():
        reason = f"qemu-{arch} or the {arch} glibc is not installed"
        if IN_CI:
            pytest.fail(f"{reason}: the CI installs them")
        pytest.skip(reason)
    return [qemu, "-L", str(sysroot)]


@pytest.fixture(scope="module")
def portable_commands(portable_wheels, tmp_path_factory) -> dict[str, list[str]]:
    """Each architecture's `vok` command, from its wheel, as a command line that runs it here."""
    commands = {}
    for arch, wheel in portable_wheels.items():
        command = str(members(wheel, tmp_path_factory.mktemp(arch))[MEMBERS[0]])
        commands[arch] = [command] if arch == HOST else [*emulator(arch), command]
    return commands


@pytest.mark.parametrize("arch", MACHINES)
def test_each_architecture_draws_the_pictures(portable_commands, arch):
    for formula, picture in PICTURES:
        done = run(*portable_commands[arch], "--exact", formula)
        assert (done.stdout, done.stderr) == (picture, "")


@pytest.mark.parametrize("arch", MACHINES)
def test_each_architecture_reports_an_unreadable_standard_input(portable_commands, arch):
    directory = os.open("/", os.O_RDONLY)  # opens, but reading it fails
    try:
        done = subprocess.run(portable_commands[arch], stdin=directory, capture_output=True,
                              text=True, timeout=60)
    finally:
        os.close(directory)
    assert (done.returncode, done.stdout) == (1, "")
    assert done.stderr == "vok: cannot read standard input: Is a directory\n"


@pytest.mark.parametrize("arch", MACHINES)
def test_each_architecture_draws_the_corpus_like_this_build(portable_commands, arch, corpus,
                                                            vok_command):
    """Every real formula in both dialects, through the portable command and the one under test
    (built by this machine's compiler and C++ runtime): the same pictures, messages and exit
    status."""
    text = (corpus / "formulas-real.txt").read_text(encoding="utf-8")
    for dialect in (["--exact"], []):
        expected = subprocess.run([vok_command, *dialect], input=text, capture_output=True,
                                  text=True, timeout=300)
        done = subprocess.run([*portable_commands[arch], *dialect], input=text,
                              capture_output=True, text=True, timeout=300)
        assert expected.returncode == 1 and expected.stderr  # the corpus holds input errors too
        assert done.returncode == expected.returncode
        assert done.stdout == expected.stdout
        assert done.stderr == expected.stderr
