#!/usr/bin/perl
# Prints what Palm::PDB reads from each .pdb file given, one line per file:
# name, type, creator, backup bit, version, app-info block (hex), records (hex, comma
# separated), tab separated. Any warning of the reader counts as a failure.
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;

if (!@ARGV || $ARGV[0] eq '--help') {
  print "usage: read_pdb.pl FILE.pdb...\n";
  exit(@ARGV ? 0 : 2);
}
$SIG{__WARN__} = sub { die "read_pdb.pl: $_[0]" };
for my $file (@ARGV) {
  my $pdb = Palm::PDB->new;
  eval { $pdb->Load($file); 1 } or die "read_pdb.pl: cannot read $file: $@";
  my @records = map { unpack('H*', $_->{data}) } @{ $pdb->{records} };
  print join("\t", $pdb->{name}, $pdb->{type}, $pdb->{creator},
             $pdb->{attributes}{backup} ? 1 : 0, $pdb->{version},
             unpack('H*', $pdb->{appinfo} // ''), join(',', @records)), "\n";
}
