#!/bin/bash
# Starts the services the printing tests need and prepares the printers:
# the CUPS scheduler, and two cups-pdf queues that Wine sees as printers.
#   PDF    the default printer; its jobs become PDF files in ~/PDF
#   PDF2   a second printer for choosing one in Print Setup; its jobs go
#          to ~/PDF-second, so a test can tell which printer was used
# Idempotent and quick when everything is in place. Run as root (or with
# sudo available); scripts/setup.sh installs cups and cups-pdf first.
#
# Where the files land: cups-pdf writes each job as the user who printed
# it, into "Out" of its configuration with ${HOME} taken from that user's
# passwd entry (root: /root/PDF). It reads /etc/cups/cups-pdf-NAME.conf for
# a queue whose device is cups-pdf:/NAME, else the shared cups-pdf.conf;
# each queue gets a file of its own here, so the shared one is left as the
# system has it. A job from a user that the machine does not know would go
# to AnonDirName (/var/spool/cups-pdf/ANONYMOUS) instead; Wine submits as
# the user running it, so that does not happen here. "Label 2" appends
# "-job_N" to every file name, so two jobs with the same document name
# ("PRINT_SCREEN") never overwrite each other.
set -euo pipefail

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

scheduler_running() { lpstat -r 2>/dev/null | grep -q 'is running'; }

if ! scheduler_running; then
  echo "[services] starting cupsd"
  as_root /usr/sbin/cupsd
  for _ in $(seq 100); do
    scheduler_running && break
    sleep 0.1
  done
  scheduler_running || { echo "[services] cupsd did not start" >&2; exit 1; }
fi

# write_if_changed FILE TEXT
write_if_changed() {
  if [ ! -f "$1" ] || [ "$(cat "$1")" != "$2" ]; then
    printf '%s\n' "$2" | as_root tee "$1" >/dev/null
  fi
}

# queue NAME OUTPUT-DIRECTORY-UNDER-HOME
queue() {
  local name=$1 out=$2
  write_if_changed "/etc/cups/cups-pdf-$name.conf" "Out \${HOME}/$out
Label 2"
  if ! lpstat -v "$name" 2>/dev/null | grep -q "cups-pdf:/$name\$"; then
    echo "[services] adding printer $name"
    as_root lpadmin -p "$name" -v "cups-pdf:/$name" -E \
      -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null
  fi
  if ! lpstat -p "$name" 2>/dev/null | grep -q 'enabled'; then
    as_root cupsenable "$name"
  fi
  if ! lpstat -a "$name" 2>/dev/null | grep -q 'accepting'; then
    as_root cupsaccept "$name"
  fi
}

queue PDF PDF
queue PDF2 PDF-second

if ! lpstat -d 2>/dev/null | grep -q 'destination: PDF$'; then
  echo "[services] making PDF the default printer"
  as_root lpoptions -d PDF >/dev/null
fi
