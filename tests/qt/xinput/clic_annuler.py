#!/usr/bin/python3
"""A real mouse click on Cancel stops a copy at once, the old files whole.

Runs the small test host under Xvfb with openbox as window manager, against a
throttled FTP server, and sends the user's clicks through the X server with
xdotool: "<" to copy four remote files over local ones, "overwrite all" in
the question, then Cancel while the first file is still coming.

    clic_annuler.py HOST_EXECUTABLE FTP_SERVER_SCRIPT

Exits 77 (skipped) when Xvfb, openbox or xdotool is missing.
"""
import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
TAILLE_DISTANTE = 120000
TAILLE_LOCALE = 7


class Echec(Exception):
    pass


def lecteur(flux, file_lignes):
    for ligne in iter(flux.readline, ""):
        file_lignes.put(ligne.rstrip("\n"))
    file_lignes.put(None)


class Processus:
    """A child whose output lines are read with a bounded wait."""

    def __init__(self, argv, env=None, **kw):
        self.argv = argv
        self.p = subprocess.Popen(argv, env=env, stdout=subprocess.PIPE, text=True, **kw)
        self.lignes = queue.Queue()
        threading.Thread(target=lecteur, args=(self.p.stdout, self.lignes), daemon=True).start()

    def attendre_ligne(self, debut, delai):
        fin = time.monotonic() + delai
        while True:
            reste = fin - time.monotonic()
            if reste <= 0:
                raise Echec("no line %r from %s within %d s" % (debut, self.argv[0], delai))
            try:
                ligne = self.lignes.get(timeout=reste)
            except queue.Empty:
                continue
            if ligne is None:
                raise Echec("%s ended (%s) before %r" % (self.argv[0], self.p.wait(), debut))
            if ligne.startswith(debut):
                return ligne

    def arreter(self):
        if self.p.poll() is None:
            self.p.terminate()
            try:
                self.p.wait(5)
            except subprocess.TimeoutExpired:
                self.p.kill()
                self.p.wait()


def demarrer_x(enfants):
    """Xvfb on a display it chooses itself, and openbox on it."""
    lire, ecrire = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(ecrire), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp"], pass_fds=(ecrire,), stderr=subprocess.DEVNULL)
    enfants.append(xvfb)
    os.close(ecrire)
    numero = b""
    with os.fdopen(lire, "rb") as f:
        numero = f.readline().strip()
    if not numero:
        raise Echec("Xvfb gave no display")
    env = dict(os.environ, DISPLAY=":" + numero.decode())
    enfants.append(subprocess.Popen(["openbox", "--sm-disable"], env=env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    # The window manager is up once it answers for the desktops.
    for _ in range(100):
        if subprocess.run(["xdotool", "get_num_desktops"], env=env, capture_output=True).returncode == 0:
            return env
        time.sleep(0.1)
    raise Echec("openbox did not start")


def cliquer(env, ligne):
    _, x, y = ligne.split()
    subprocess.run(["xdotool", "mousemove", "--sync", x, y, "click", "1"], env=env, check=True, timeout=10)


def scenario(hote_exe, serveur_ftp, racine, enfants):
    env = demarrer_x(enfants)
    distant, local = os.path.join(racine, "distant"), os.path.join(racine, "local")
    os.makedirs(distant)
    os.makedirs(local)
    for i in range(4):
        with open(os.path.join(distant, "f%d.sor" % i), "wb") as f:
            f.write(b"x" * TAILLE_DISTANTE)
        with open(os.path.join(local, "f%d.sor" % i), "wb") as f:
            f.write(b"o" * TAILLE_LOCALE)

    # A 64 kB chunk, then two seconds before the next: each file takes two seconds.
    serveur = Processus(["/usr/bin/python3", serveur_ftp, "--root", distant, "--throttle", "50000"])
    enfants.append(serveur)
    port = serveur.attendre_ligne("LISTEN ftp", 20).split()[2]
    serveur.attendre_ligne("READY", 20)

    env_hote = dict(env, QT_QPA_PLATFORM="xcb")
    # Leaks inside the X client libraries are not this test's subject.
    env_hote["ASAN_OPTIONS"] = os.environ.get("ASAN_OPTIONS", "") + ":detect_leaks=0"
    hote = Processus([hote_exe, "--port", port, "--local", local], env=env_hote)
    enfants.append(hote)
    ligne = hote.attendre_ligne("DIALOG", 30)
    subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--class", "hote_xinput"],
                   env=env, capture_output=True, check=True, timeout=20)
    cliquer(env, ligne)
    cliquer(env, hote.attendre_ligne("QUESTION", 20))
    cliquer(env, hote.attendre_ligne("COPYING", 20))
    fin = hote.attendre_ligne("DONE", 20)
    if hote.p.wait(20) != 0:
        raise Echec("the host ended with %s" % hote.p.returncode)

    erreurs = []
    if not fin.startswith("DONE Cancelled: "):
        erreurs.append("the copy was not stopped: " + fin)
    for nom in sorted(os.listdir(local)):
        taille = os.path.getsize(os.path.join(local, nom))
        if not nom.endswith(".sor"):
            erreurs.append("left behind: %s" % nom)
        elif taille != TAILLE_LOCALE:
            erreurs.append("%s is %d bytes, the old file had %d" % (nom, taille, TAILLE_LOCALE))
    if erreurs:
        raise Echec("; ".join(erreurs))
    print("ok:", fin)


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    manquants = [o for o in ("Xvfb", "openbox", "xdotool") if not shutil.which(o)]
    if manquants:
        print("skipped: %s not installed" % ", ".join(manquants))
        return SKIP
    enfants = []
    with tempfile.TemporaryDirectory(prefix="otdr-xinput-") as racine:
        try:
            scenario(sys.argv[1], sys.argv[2], racine, enfants)
            return 0
        except (Echec, OSError, subprocess.SubprocessError) as e:
            print("FAILED:", e)
            return 1
        finally:
            for e in reversed(enfants):
                (e.arreter if isinstance(e, Processus) else lambda p=e: (p.terminate(), p.wait()))()


if __name__ == "__main__":
    sys.exit(main())
