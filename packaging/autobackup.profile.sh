# /etc/profile.d/autobackup.sh: an operator's autobackup commands use the service's home.
export AUTOBACKUP_HOME=/var/lib/autobackup
