#!/usr/bin/perl
# Writes a database through the Sync Manager (pdb_tool) and reads the file with Palm::PDB.
use strict;
use warnings;
use File::Temp qw(tempdir);

eval { require Palm::PDB; require Palm::Raw; Palm::Raw->import; 1 } or do { print "Palm::PDB missing\n"; exit 77 };

my $tool = shift or die "usage: $0 <pdb_tool>\n";
my $dir = tempdir(CLEANUP => 1);
mkdir "$dir/handheld" or die;
$ENV{LUMORA_WINDOWS_DIR} = "$dir/windows";
system($tool, "write", "$dir/handheld") == 0 or die "pdb_tool write failed\n";

my $pdb = Palm::PDB->new;
$pdb->Load("$dir/handheld/Perl Check.pdb");
my $fails = 0;
sub check { my ($what, $got, $want) = @_; return if $got eq $want;
  print "$what: got '$got', want '$want'\n"; $fails++; }

check("name", $pdb->{name}, "Perl Check");
check("type", $pdb->{type}, "DATA");
check("creator", $pdb->{creator}, "LmTs");
check("version", $pdb->{version}, 2);
check("backup", $pdb->{attributes}{backup} ? 1 : 0, 1);
check("appinfo", unpack("H*", $pdb->{appinfo}), "000c00001405");
my @records = @{$pdb->{records}};
check("record count", scalar @records, 3);
my $big = join "", map { chr(($_ * 7) & 0xFF) } 0 .. 5124;
my @want = ("first", "", $big);
for my $i (0 .. $#want) {
  check("record $i", unpack("H*", $records[$i]{data} // ""), unpack("H*", $want[$i]));
  check("record $i category", $records[$i]{category}, 2);
}
my %ids = map { $_->{id} => 1 } @records;
check("distinct non-zero ids", scalar(grep { $_ } keys %ids), 3);
exit($fails ? 1 : 0);
