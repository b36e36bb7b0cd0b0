#!/usr/bin/perl
# Reads a font database with Palm::PDB and checks it against the font it came from:
#   check_pdb.pl DATABASE.pdb FONT.ttf NAME RECORDS
# The records, with each 8-byte DBLK header stripped, must give the font byte for byte.
use strict;
use warnings;
use Palm::PDB;
use Palm::Raw;

my ($pdbFile, $fontFile, $name, $records) = @ARGV;
die "usage: check_pdb.pl DATABASE.pdb FONT.ttf NAME RECORDS\n" unless defined $records;

my $pdb = Palm::PDB->new;
$pdb->Load($pdbFile);

sub fail { print STDERR "$pdbFile: @_\n"; exit 1; }

fail("name is '$pdb->{name}', not '$name'") unless $pdb->{name} eq $name;
fail("type is '$pdb->{type}'") unless $pdb->{type} eq 'ttfn';
fail("creator is '$pdb->{creator}'") unless $pdb->{creator} eq 'TTFt';
fail("not a file-stream database") unless $pdb->{attributes}{Stream};
my @records = @{$pdb->{records} // []};
fail(scalar(@records) . " records, not $records") unless @records == $records;

my $joined = '';
foreach my $i (0 .. $#records) {
  my $data = $records[$i]{data};
  fail("record $i is shorter than its block header") if length($data) < 8;
  my ($signature, $zero, $length) = unpack('a4 n n', $data);
  fail("record $i has signature '$signature'") unless $signature eq 'DBLK';
  fail("record $i has $zero where 0 belongs") unless $zero == 0;
  fail("record $i holds " . (length($data) - 8) . " bytes, its block says $length")
    unless length($data) - 8 == $length;
  $joined .= substr($data, 8);
}

open(my $fh, '<:raw', $fontFile) or fail("cannot read $fontFile: $!");
local $/;
my $font = <$fh> // '';
close($fh);
fail("records give " . length($joined) . " bytes, the font has " . length($font))
  unless $joined eq $font;
print "$pdbFile: $records records, " . length($font) . " bytes match\n";
